#include "dnc/service/HeadlessService.h"

#include <algorithm>

#include "dnc/config/SettingRules.h"
#include "dnc/config/SettingsCheck.h"
#include "dnc/config/SubNetConfiguration.h"

namespace dnc {

HeadlessService::HeadlessService(ConfigStore& store, EventLog& log, ServiceOptions options)
    : store_(store), log_(log), options_(std::move(options)) {}

HeadlessService::~HeadlessService() {
    closeAll();
}

std::vector<int> HeadlessService::flaggedSubNets(const ConfigStore& store) {
    const CheckedSection common("Common", store.section("Common"));
    std::vector<int> flagged;
    for (int n = 1; n <= kSubNetCount; ++n) {
        if (common.boolean(std::to_string(n))) {
            flagged.push_back(n);
        }
    }
    return flagged;
}

int HeadlessService::start() {
    std::vector<int> wanted = options_.subNets.empty() ? flaggedSubNets(store_) : options_.subNets;
    std::sort(wanted.begin(), wanted.end());
    wanted.erase(std::unique(wanted.begin(), wanted.end()), wanted.end());
    logSettingProblems(wanted);
    wanted_.insert(wanted.begin(), wanted.end());
    for (int n : wanted) {
        startSubNet(n);
    }
    if (options_.heartbeat) {
        beat(std::chrono::steady_clock::now());
    }
    return running();
}

void HeadlessService::logSettingProblems(const std::vector<int>& starting) {
    // Each problem once: those of a starting sub net's section come with its events.
    for (const SettingProblem& problem : checkSettingsFile(store_.file())) {
        const int subNet = subNetOfSection(problem.section);
        if (std::find(starting.begin(), starting.end(), subNet) == starting.end()) {
            log_.note(0, "FerixDNC", "settings: " + problem.text());
        }
    }
}

void HeadlessService::startSubNet(int n) {
    discardEnded(n);  // asked for before its restart is due: it starts now
    if (n < 1 || n > kSubNetCount || subNets_.count(n) != 0) {
        return;
    }
    auto subNet = std::make_unique<SubNet>(n, store_, *this, options_.ports, options_.setup,
                                           options_.journal);
    subNet->Initialize();
    subNets_.emplace(n, std::move(subNet));
    if (observer_ != nullptr) {
        observer_->subNetStarted(n);
    }
}

void HeadlessService::stopSubNet(int n) {
    const auto found = subNets_.find(n);
    if (found == subNets_.end()) {
        return;
    }
    closing_.insert(n);
    found->second->CloseIt();
    events_.runPending();  // its last events, Closing among them, before it is gone
    subNets_.erase(found);
    retries_.erase(n);
    restarts_.erase(n);
    closing_.erase(n);
    failing_.erase(n);
    switchedOff_.erase(n);
}

bool HeadlessService::showSubNet(int) {
    return false;
}

bool HeadlessService::hideSubNet(int) {
    return true;
}

SubNet* HeadlessService::runningSubNet(int n) {
    const auto found = subNets_.find(n);
    return found == subNets_.end() || restarts_.count(n) != 0 ? nullptr : found->second.get();
}

std::vector<SubNetEntry> HeadlessService::subNetEntries() const {
    const SubNetConfiguration names;
    const StoreSection common = store_.section("Common");
    std::vector<SubNetEntry> entries;
    for (int n = 1; n <= kSubNetCount; ++n) {
        SubNetEntry entry;
        entry.number = n;
        entry.caption =
            store_.section(subNetSection(n)).readString("Caption", names.defaultCaption(n));
        entry.running = subNets_.count(n) != 0 && restarts_.count(n) == 0;
        entry.startUp = common.readBool(std::to_string(n), false);
        entries.push_back(entry);
    }
    return entries;
}

void HeadlessService::post(std::function<void()> work) {
    events_.post(std::move(work));
    if (wake_) {
        wake_();
    }
}

void HeadlessService::postToNetwork(std::function<void()> work) {
    post(std::move(work));
}

void HeadlessService::deliver(const SubNetEvent& event) {
    post([this, event] { handle(event); });
}

void HeadlessService::confirm(int subNet, const std::string& caption, const std::string& text) {
    // Nobody stands at a headless service: the prompt is logged and taken as confirmed.
    post([this, subNet, caption, text] {
        log_.note(subNet, caption, "prompt confirmed without an operator: " + text);
    });
}

void HeadlessService::handle(const SubNetEvent& event) {
    log_.event(event);
    if (observer_ != nullptr) {
        observer_->subNetEvent(event);
        if (event.kind == SubNetEvent::Kind::Closing) {
            observer_->subNetClosed(event.subNet);
        }
    }
    if (event.kind == SubNetEvent::Kind::Closing) {
        scheduleRestart(event);
    }
    switch (event.kind) {
        case SubNetEvent::Kind::CommunicationStarted:
            failing_.erase(event.subNet);
            switchedOff_.erase(event.subNet);
            break;
        case SubNetEvent::Kind::CommunicationStopped:
            switchedOff_.insert(event.subNet);
            break;
        case SubNetEvent::Kind::StartFailed:
            failing_.insert(event.subNet);
            lastError_[event.subNet] = event.description;
            break;
        default:
            break;
    }
    if (event.kind == SubNetEvent::Kind::StartFailed && subNets_.count(event.subNet) != 0) {
        retries_[event.subNet] = std::chrono::steady_clock::now() + options_.retryInterval;
        log_.note(event.subNet, event.caption,
                  "retrying in " + std::to_string(options_.retryInterval.count() / 1000) + " s");
    }
}

void HeadlessService::scheduleRestart(const SubNetEvent& closing) {
    if (closing_.count(closing.subNet) != 0 || subNets_.count(closing.subNet) == 0) {
        return;
    }
    retries_.erase(closing.subNet);
    restarts_[closing.subNet] = std::chrono::steady_clock::now() + options_.retryInterval;
    log_.note(closing.subNet, closing.caption,
              "starting the sub net again in " +
                  std::to_string(options_.retryInterval.count() / 1000) + " s");
}

void HeadlessService::discardEnded(int n) {
    if (restarts_.erase(n) == 0) {
        return;
    }
    const auto ended = subNets_.find(n);
    if (ended != subNets_.end()) {
        ended->second->waitClosed();  // its thread has ended: no wait
        subNets_.erase(ended);
    }
}

void HeadlessService::serviceOnce(std::chrono::milliseconds wait) {
    auto until = std::chrono::steady_clock::now() + wait;
    for (const auto& [subNet, due] : retries_) {
        until = std::min(until, due);
    }
    for (const auto& [subNet, due] : restarts_) {
        until = std::min(until, due);
    }
    if (nextBeat_) {
        until = std::min(until, *nextBeat_);
    }
    const auto now = std::chrono::steady_clock::now();
    if (until > now) {
        events_.waitForMessage(std::chrono::duration_cast<std::chrono::milliseconds>(until - now));
    }
    events_.runPending();
    const auto after = std::chrono::steady_clock::now();
    runDueRetries(after);
    if (nextBeat_ && *nextBeat_ <= after) {
        beat(after);
    }
}

void HeadlessService::beat(std::chrono::steady_clock::time_point now) {
    nextBeat_ = now + options_.heartbeatInterval;
    options_.heartbeat(heartbeatNow());
}

history::Heartbeat HeadlessService::heartbeatNow() const {
    history::Heartbeat beat;
    beat.time = std::chrono::system_clock::now();
    for (const SubNetEntry& entry : subNetEntries()) {
        const int n = entry.number;
        const bool present = subNets_.count(n) != 0;
        const auto error = lastError_.find(n);
        if (!present && wanted_.count(n) == 0 && error == lastError_.end()) {
            continue;  // never asked for: not one of this PC's lines
        }
        history::SubNetBeat subNet;
        subNet.subNet = n;
        subNet.caption = entry.caption;
        if (!present || (switchedOff_.count(n) != 0 && failing_.count(n) == 0)) {
            subNet.state = history::kSubNetStopped;
        } else if (failing_.count(n) != 0 || restarts_.count(n) != 0) {
            subNet.state = history::kSubNetRetrying;
        } else {
            subNet.state = history::kSubNetRunning;
        }
        subNet.error = error == lastError_.end() ? std::string() : error->second;
        beat.subNets.push_back(std::move(subNet));
    }
    return beat;
}

void HeadlessService::runDueRetries(std::chrono::steady_clock::time_point now) {
    for (auto it = restarts_.begin(); it != restarts_.end();) {
        if (it->second > now) {
            ++it;
            continue;
        }
        const int n = it->first;
        ++it;
        startSubNet(n);
    }
    for (auto it = retries_.begin(); it != retries_.end();) {
        if (it->second <= now) {
            const auto subNet = subNets_.find(it->first);
            if (subNet != subNets_.end()) {
                subNet->second->StartCommunication();
            }
            it = retries_.erase(it);
        } else {
            ++it;
        }
    }
}

void HeadlessService::run(const std::atomic<bool>& stop) {
    while (!stop) {
        serviceOnce(std::chrono::milliseconds(100));
    }
    closeAll();
}

void HeadlessService::closeAll() {
    for (auto& [n, subNet] : subNets_) {
        closing_.insert(n);
        subNet->requestClose();
    }
    for (auto& [n, subNet] : subNets_) {
        subNet->waitClosed();
    }
    events_.runPending();  // the closing lines
    subNets_.clear();
    retries_.clear();
    restarts_.clear();
    closing_.clear();
    failing_.clear();
    switchedOff_.clear();
}

}  // namespace dnc
