#include "comm/TransferReport.h"

#include "comm/FerixComm.h"
#include "comm/files/FileIo.h"
#include "comm/files/ProgramFiles.h"

namespace comm {

TransferReport::TransferReport(ctrlFerixComm& control, std::uint8_t unit, TransferWay way,
                               std::string name, const std::filesystem::path& path)
    : control_(control) {
    end_.unit = unit;
    end_.way = way;
    end_.name = std::move(name);
    end_.path = path.string();
    end_.startedBy = control_.OperatorRequest() ? TransferStarter::Operator : TransferStarter::Unit;
    control_.site().TransferBegun(end_);
}

Status TransferReport::store(const std::filesystem::path& path, std::string_view bytes) {
    if (control_.ProtectPrograms()) {
        end_.held = true;
        return {};
    }
    return storeProgram(control_.FerixHomeDir(), path, bytes);
}

void TransferReport::done(std::string_view bytes) {
    tell(TransferOutcome::Done, &bytes, {}, end_.way == TransferWay::FromUnit && !end_.held);
}

void TransferReport::failedBeforeAnyBytes(const std::string& error) {
    tell(TransferOutcome::Failed, nullptr, error, false);
}

void TransferReport::failed(std::string_view bytes, const std::string& error, bool stored) {
    tell(TransferOutcome::Failed, &bytes, error, stored);
}

void TransferReport::stopped(std::string_view bytes, const std::string& error) {
    tell(TransferOutcome::Stopped, &bytes, error, false);
}

void TransferReport::tell(TransferOutcome outcome, const std::string_view* bytes,
                          const std::string& error, bool stored) {
    if (told_) {
        return;
    }
    told_ = true;
    end_.outcome = outcome;
    end_.hasBytes = bytes != nullptr;
    if (bytes != nullptr) {
        end_.bytes.assign(bytes->data(), bytes->size());
    }
    end_.stored = stored && !end_.held;
    end_.error = error;
    end_.startedBy = control_.OperatorRequest() ? TransferStarter::Operator : TransferStarter::Unit;
    control_.site().TransferEnded(end_);
}

}  // namespace comm
