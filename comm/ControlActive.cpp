// Switching the line on and off.
#include "comm/AbandonedWrites.h"
#include "comm/FerixComm.h"
#include "comm/Messages.h"

namespace comm {

namespace {

constexpr int kPictureIdle = 1;
constexpr int kPictureActive = 2;

}  // namespace

ComError ctrlFerixComm::startupError(const char* let, const ComError& cause) const {
    return ComError{kObjectErrorBase + 1, std::string("FerixComm") + let,
                    messageWithDetail(msg::StartupError, cause.description), cause.helpFile,
                    cause.helpContext};
}

Status ctrlFerixComm::setActive(bool value) {
    if (!site_.UserMode()) {
        return ComError{kErrNotAtDesignTime, "FerixComm",
                        "Property is read-only at design time (Active)", "", 0};
    }
    if (value == active_) {
        return {};
    }
    notify("Active");
    if (value) {
        // Writes in progress hold a lock on their temporary files: only those whose process
        // is gone are taken.
        removeAbandonedWrites(*this);
    }
    switch (protocol_) {
        case ProtNoneEOF:
        case ProtNone:
            return activatePlain(value);
        case ProtHeidenhain:
        case ProtTavro1:
        case ProtDNC:
            return activateService(value);
        case ProtFerix:
        default:
            return {};
    }
}

// The plain protocols only open or close the port; their transfers run inside the requests.
Status ctrlFerixComm::activatePlain(bool value) {
    if (!value) {
        link_.close();
        active_ = false;
        indicator_.show(kPictureIdle);
        return {};
    }
    if (Status s = link_.open(); !s) {
        active_ = false;
        return startupError(".Active (let 1)", s.error());
    }
    active_ = true;
    indicator_.show(kPictureActive);
    if (Status s = link_.ApplyLineSettings(); !s) {
        link_.close();
        active_ = false;
        indicator_.show(kPictureIdle);
        return startupError(".Active (let 1)", s.error());
    }
    return {};
}

// The block protocols run their service loop inside this call. Switching off only stores the
// value: the running loop (an outer call of this setter) notices, closes the port and returns.
Status ctrlFerixComm::activateService(bool value) {
    active_ = value;
    if (!value) {
        indicator_.show(kPictureIdle);
        return {};
    }
    const bool heidenhain = protocol_ != ProtDNC;
    const char* openLet = heidenhain ? ".Active (let 2)" : ".Active (let 4)";
    const char* loopLet = heidenhain ? ".Active (let 3)" : ".Active (let 4)";
    const auto factory = services_.find(protocol_);
    if (factory == services_.end() || !factory->second) {
        active_ = false;
        indicator_.show(kPictureIdle);
        return startupError(
            openLet,
            ComError{0, "FerixComm", "no service for this line protocol in this build", "", 0});
    }
    std::unique_ptr<LineService> service = factory->second(*this);
    service->prepare();
    Status opened = link_.open();
    if (opened) {
        opened = link_.ApplyLineSettings();
    }
    if (!opened) {
        link_.close();
        active_ = false;
        indicator_.show(kPictureIdle);
        return startupError(openLet, opened.error());
    }
    if (heidenhain) {
        link_.settleInput();  // the machine speaks first
    }
    indicator_.show(kPictureActive);
    serviceRunning_ = true;
    loopAtRest_ = false;
    pollsSinceRequest_ = kQuietPolls;
    Status ended = service->run();
    serviceRunning_ = false;
    loopAtRest_ = false;
    link_.close();
    if (!ended) {
        active_ = false;
        indicator_.show(kPictureIdle);
        return startupError(loopLet, ended.error());
    }
    return {};
}

}  // namespace comm
