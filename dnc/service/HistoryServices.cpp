#include "dnc/service/HistoryServices.h"

#include "dnc/service/HistorySettings.h"

namespace dnc {

HistoryServices::HistoryServices(const ConfigStore& store, const std::filesystem::path& database,
                                 std::function<void(const std::string&)> report,
                                 std::optional<std::chrono::milliseconds> interval) {
    auto options = historyRecorderOptions(store, database, report);
    const std::string site = options.site;
    options.revisionWritten = [this, report](const history::RevisionNotice& notice) {
        // The line's own log says only that the transfer ended: the program is not in place.
        if (notice.state == revisions::State::Pending && report) {
            report("sub net " + std::to_string(notice.subNet) + " unit " +
                   std::to_string(notice.unit) + ": " + notice.name + " waits for approval " +
                   "(revision " + std::to_string(notice.id) + ")");
        }
        if (RevisionDesk* desk = deskReady_.load()) {
            desk->revisionWritten(notice);
        }
    };
    options.requestsOpen = [this](const std::vector<history::DecisionRequest>& open) {
        if (RequestRunner* runner = requestsReady_.load()) {
            runner->requestsOpen(open);
        }
    };
    recorder_ = std::make_unique<history::HistoryRecorder>(std::move(options));
    desk_ = std::make_unique<RevisionDesk>(database, *recorder_, site);
    deskReady_ = desk_.get();
    RequestRunner::Options runnerOptions;
    runnerOptions.interval = interval.value_or(requestInterval(store));
    runnerOptions.log = std::move(report);
    requests_ = std::make_unique<RequestRunner>(database, site, *desk_, *recorder_, runnerOptions);
    requestsReady_ = requests_.get();
}

HistoryServices::~HistoryServices() {
    requests_->stop();  // asks the recorder no more: it goes first
}

}  // namespace dnc
