#include "dnc/service/HistoryServices.h"

#include "dnc/service/HistorySettings.h"

namespace dnc {

HistoryServices::HistoryServices(const ConfigStore& store, const std::filesystem::path& database,
                                 std::function<void(const std::string&)> report) {
    auto options = historyRecorderOptions(store, database, std::move(report));
    const std::string site = options.site;
    options.revisionWritten = [this](const history::RevisionNotice& notice) {
        if (RevisionDesk* desk = deskReady_.load()) {
            desk->revisionWritten(notice);
        }
    };
    recorder_ = std::make_unique<history::HistoryRecorder>(std::move(options));
    desk_ = std::make_unique<RevisionDesk>(database, *recorder_, site);
    deskReady_ = desk_.get();
}

}  // namespace dnc
