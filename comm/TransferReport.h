// Tells the control's host how one program transfer ended: made where a transfer begins, told
// exactly once where it ends.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "comm/ComError.h"
#include "comm/TransferEnd.h"

namespace comm {

class ctrlFerixComm;

class TransferReport {
public:
    TransferReport(ctrlFerixComm& control, std::uint8_t unit, TransferWay way, std::string name,
                   const std::filesystem::path& path);

    // Puts a program that arrived into the unit directory, or holds it for approval when the
    // control protects its programs (the file is not touched then). The one place where a
    // program from a unit is written.
    Status store(const std::filesystem::path& path, std::string_view bytes);
    // store() held the program: the unit directory is as it was.
    bool held() const { return end_.held; }

    // Sent whole, or (from the unit) stored or held.
    void done(std::string_view bytes);
    // Nothing moved: the program could not be read or its name not used.
    void failedBeforeAnyBytes(const std::string& error);
    void failed(std::string_view bytes, const std::string& error, bool stored = false);
    void stopped(std::string_view bytes, const std::string& error = {});

private:
    void tell(TransferOutcome outcome, const std::string_view* bytes, const std::string& error,
              bool stored);

    ctrlFerixComm& control_;
    TransferEnd end_;
    bool told_ = false;
};

}  // namespace comm
