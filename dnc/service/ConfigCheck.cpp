#include "dnc/service/ConfigCheck.h"

#include "comm/files/FileIo.h"
#include "dnc/config/ConfigStore.h"
#include "dnc/config/DeviceProbe.h"
#include "dnc/config/SettingRules.h"
#include "dnc/config/SettingsCheck.h"
#include "dnc/config/SettingsFile.h"
#include "dnc/config/SubNetConfiguration.h"
#include "dnc/history/HistoryStore.h"
#include "dnc/history/ServerLocation.h"
#include "dnc/manager/SubNet.h"
#include "dnc/service/HeadlessService.h"
#include "localizing/lookup/ResourceStrings.h"

#include <map>

namespace dnc {

namespace {

// Returns how many sub nets share a device with one listed before them: only the first of
// them could open it.
int listSubNets(const ConfigStore& store, std::vector<int> subNets, std::ostream& out) {
    if (subNets.empty()) {
        subNets = HeadlessService::flaggedSubNets(store);
    }
    if (subNets.empty()) {
        out << "no sub net is flagged for start-up (section \"Common\", keys \"1\" to \"16\")\n";
        return 0;
    }
    std::map<std::string, int> firstOnDevice;
    int shared = 0;
    // Captions in the language that the sub nets would take.
    loc::selectLanguage(static_cast<std::uint16_t>(
        CheckedSection("Common", store.section("Common")).integer("LangID")));
    const SubNetConfiguration defaults;
    for (const int n : subNets) {
        const std::string section = subNetSection(n);
        const CheckedSection s(section, store.section(section));
        const auto port = static_cast<int>(s.integer("CommPort"));
        const std::string device = portDevice(store, port);
        out << "sub net " << n << " \"" << s.text("Caption", defaults.defaultCaption(n))
            << "\": port " << port << ", " << device << ": " << probeDevice(device).text << "\n";
        const auto [first, isFirst] = firstOnDevice.try_emplace(device, n);
        if (!isFirst) {
            ++shared;
            out << "sub net " << n << ": port " << port << " (" << device
                << ") is also the port of sub net " << first->second
                << ": only one of them can open it\n";
        }
    }
    return shared;
}

// A shared history names each PC by its site. Left empty, the site is the host name: renaming
// the host later leaves the PC's held revisions and open requests with a site that no longer
// runs. Not a problem of the file, so it does not count.
void noteSharedSite(const ConfigStore& store, std::ostream& out) {
    const StoreSection common = store.section("Common");
    if (!history::isServerLocation(common.readString("HistoryDatabase", "")) ||
        !common.readString("PlantSite", "").empty()) {
        return;
    }
    out << "note: the history is shared and PlantSite is not set (section \"Common\"): this PC "
           "writes as site \""
        << history::siteName("")
        << "\", the host name, and a renamed host would leave its held revisions and open "
           "requests behind; set PlantSite\n";
}

}  // namespace

int checkConfiguration(const std::filesystem::path& file, const std::vector<int>& subNets,
                       std::ostream& out) {
    if (const std::optional<std::string> problem = settingsFileProblem(file)) {
        out << *problem << "\n";
        return 1;
    }
    const auto text = readSettingsText(file);
    if (!text.ok()) {
        out << text.error().description << "\n";
        return 1;
    }
    const std::vector<SettingProblem> problems = checkSettingsText(file, text.value());
    for (const SettingProblem& problem : problems) {
        out << problem.text() << "\n";
    }
    const ConfigStore store(file, [](const std::string&) {});
    const std::size_t count =
        problems.size() + static_cast<std::size_t>(listSubNets(store, subNets, out));
    noteSharedSite(store, out);
    if (count == 0) {
        out << file.string() << ": no problems\n";
        return 0;
    }
    out << file.string() << ": " << count << (count == 1 ? " problem\n" : " problems\n");
    return 1;
}

}  // namespace dnc
