// ctrlFerixComm: the communication control that drives one sub net, one serial line with up to
// ten Ferix units. The host configures it through properties, switches it on with Active,
// calls its request methods and receives its events through a ControlSite.
//
// Everything runs on the thread that owns the control. Waits inside the control let the
// host's pending work run (Host::pump), so property setters and StopTransfer may arrive
// re-entrantly while a transfer or a service loop is running.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "comm/ComError.h"
#include "comm/ControlSite.h"
#include "comm/Export.h"
#include "comm/Host.h"
#include "comm/LineService.h"
#include "comm/PropertyBag.h"
#include "comm/ProtocolEnum.h"
#include "comm/files/ProgramFiles.h"
#include "comm/link/Indicator.h"
#include "comm/link/SerialLink.h"
#include "comm/link/SerialPort.h"
#include "comm/requests/MemoryList.h"

namespace comm {

inline constexpr int kUnitCount = 10;

// The file-kind extensions, in the order of their properties.
enum class KindExt { SourceText, WorkText, List, SourceMacro, WorkMacro, SourceDiag, WorkDiag };
inline constexpr int kKindExtCount = 7;

class FERIXCOMM_API ctrlFerixComm {
public:
    // Without a port, the control drives a POSIX serial port.
    ctrlFerixComm(Host& host, ControlSite& site, std::unique_ptr<SerialPort> port = nullptr);
    ~ctrlFerixComm();
    ctrlFerixComm(const ctrlFerixComm&) = delete;
    ctrlFerixComm& operator=(const ctrlFerixComm&) = delete;

    // Unit table, FerixNo 1 to 10; other numbers are an out-of-range error.
    Expected<std::string> FerixDir(int FerixNo) const;
    Status setFerixDir(int FerixNo, const std::string& value);
    Expected<std::string> Prefix(int FerixNo) const;
    Status setPrefix(int FerixNo, const std::string& value);  // cut to 3 characters
    // With ProtDNC the stored flag; with any other protocol true for unit 1 only.
    Expected<bool> Connected(int FerixNo) const;
    Status setConnected(int FerixNo, bool value);
    // The stored flag whatever the protocol (false for a number outside 1 to 10).
    bool StoredConnected(int FerixNo) const {
        return FerixNo >= 1 && FerixNo <= kUnitCount && connected_[FerixNo - 1];
    }

    const std::string& FerixHomeDir() const { return ferixHomeDir_; }
    void setFerixHomeDir(const std::string& value);

    // Port settings. Speed, parity, data bits and stop bits form the line settings string;
    // a value that makes it invalid is refused (error 380) and not stored.
    std::int16_t CommPort() const { return link_.portNumber(); }
    void setCommPort(std::int16_t value);
    const std::string& CommSpeed() const { return commSpeed_; }
    Status setCommSpeed(const std::string& value);
    const std::string& CommParity() const { return commParity_; }
    Status setCommParity(const std::string& value);
    const std::string& CommDataBit() const { return commDataBit_; }
    Status setCommDataBit(const std::string& value);
    const std::string& CommStopBit() const { return commStopBit_; }
    Status setCommStopBit(const std::string& value);
    std::int32_t CommHandshaking() const { return link_.handshaking(); }
    Status setCommHandshaking(std::int32_t value);  // 0 to 3
    std::uint8_t CommXOnChar() const { return xonChar_; }
    void setCommXOnChar(std::uint8_t value);
    std::uint8_t CommXOffChar() const { return xoffChar_; }
    void setCommXOffChar(std::uint8_t value);
    // Numeric value of CommSpeed: the divisor of every protocol timing.
    std::int32_t LineSpeed() const { return link_.lineSpeed(); }

    std::int16_t DNCMaxRepeatNo() const { return dncMaxRepeatNo_; }
    void setDNCMaxRepeatNo(std::int16_t value);  // never below 4

    // Switching on opens the port and, for the block protocols, runs the service loop inside
    // this call until communication stops.
    bool Active() const { return active_; }
    Status setActive(bool value);

    std::string SourceTextExt() const { return ext(KindExt::SourceText); }
    void setSourceTextExt(const std::string& value) { setExt(KindExt::SourceText, value); }
    std::string WorkTextExt() const { return ext(KindExt::WorkText); }
    void setWorkTextExt(const std::string& value) { setExt(KindExt::WorkText, value); }
    std::string ListExt() const { return ext(KindExt::List); }
    void setListExt(const std::string& value) { setExt(KindExt::List, value); }
    std::string SourceMacroExt() const { return ext(KindExt::SourceMacro); }
    void setSourceMacroExt(const std::string& value) { setExt(KindExt::SourceMacro, value); }
    std::string WorkMacroExt() const { return ext(KindExt::WorkMacro); }
    void setWorkMacroExt(const std::string& value) { setExt(KindExt::WorkMacro, value); }
    std::string SourceDiagExt() const { return ext(KindExt::SourceDiag); }
    void setSourceDiagExt(const std::string& value) { setExt(KindExt::SourceDiag, value); }
    std::string WorkDiagExt() const { return ext(KindExt::WorkDiag); }
    void setWorkDiagExt(const std::string& value) { setExt(KindExt::WorkDiag, value); }
    std::string ext(KindExt kind) const { return exts_[static_cast<int>(kind)]; }
    void setExt(KindExt kind, const std::string& value);  // blanks around are removed

    std::int16_t F4COPYTimeout() const { return f4copyTimeout_; }
    void setF4COPYTimeout(std::int16_t value);

    ProtocolEnum Protocol() const { return protocol_; }
    // Refused while Active with 0x80040014 (message 430); the same value is always accepted.
    Status setProtocol(ProtocolEnum value);

    bool HeidenhainMaster() const { return heidenhainMaster_; }
    void setHeidenhainMaster(bool value);
    bool HeidenhainCRLF() const { return heidenhainCRLF_; }
    void setHeidenhainCRLF(bool value);
    const std::string& HeidenhainFileType() const { return heidenhainFileType_; }
    void setHeidenhainFileType(const std::string& value);  // "" gives "N"; cut to 1 character

    bool ZerosInName() const { return zerosInName_; }
    void setZerosInName(bool value);

    // The largest program sent or stored, in MB; held to 1 to kMaxProgramMegabytes.
    std::int32_t MaxProgramMegabytes() const { return maxProgramMegabytes_; }
    void setMaxProgramMegabytes(std::int32_t value);

    // Programs that arrive from a unit are held for approval instead of replacing the file in
    // the unit directory (the host keeps them); the unit is told they were stored.
    bool ProtectPrograms() const { return protectPrograms_; }
    void setProtectPrograms(bool value) { protectPrograms_ = value; }

    const std::string& Caption() const { return caption_; }
    void setCaption(const std::string& value);

    // The language of this library's texts, on the calling thread.
    std::int16_t LangID() const;
    void setLangID(std::int16_t value);

    // Ends a running transfer at its next check.
    void StopTransfer();

    // The operator's requests. Each runs to its end before it returns, letting the host's
    // messages run while it waits; results come back through the events (failures through
    // OnError), and a request made while another runs is dropped.
    void DoPCRequest(std::uint8_t FerixAdr, std::uint8_t Action, std::uint8_t Direction,
                     std::uint8_t Extension, const std::string& FileName,
                     std::int32_t LenOfFile = 0);
    // The unit's memory list.
    MemoryList FerixLst(std::uint8_t FerixAdr);
    void DoPcRequestFileToFerix(std::uint8_t FerixAdr, const std::string& FileName);
    void DoPcRequestFileFromFerix(std::uint8_t FerixAdr, const std::string& FileName,
                                  std::int32_t LenOfFile = 0);
    void DoPCRequestRemoveFile(std::uint8_t FerixAdr, const std::string& FileName);
    void DoPCRequestFerixNul(std::uint8_t FerixAdr);
    void DoPCRequestFerixSEL(std::uint8_t FerixAdr, const std::string& FileName);
    void DoPCRequestFerixSTR(std::uint8_t FerixAdr);
    void DoPCRequestFerixSTP(std::uint8_t FerixAdr);
    void DoPCRequestFerixTR(std::uint8_t FerixAdr);
    void DoPCRequestFerixSek1(std::uint8_t FerixAdr);
    void DoPCRequestFerixSek2(std::uint8_t FerixAdr);
    void DoPCRequestFerixSek3(std::uint8_t FerixAdr);
    void DoPCRequestFerixSek4(std::uint8_t FerixAdr);
    void DoPCRequestFerixSekC(std::uint8_t FerixAdr);
    void DoPCRequestFerixReset(std::uint8_t FerixAdr);

    // Saved state, in the order and with the defaults that hosts rely on.
    void WriteProperties(PropertyBag& bag) const;
    void ReadProperties(const PropertyBag& bag);

    // Maps a port number to a device path (by default /dev/ttyS<N-1>).
    void setPortDevices(std::function<std::string(int)> resolver);

    // For the control's own protocol layers and their tests.
    SerialLink& link() { return link_; }
    Indicator& indicator() { return indicator_; }
    ControlSite& site() { return site_; }
    Host& host() { return host_; }
    bool TransferBusy() const { return transferBusy_; }
    void setTransferBusy(bool busy) { transferBusy_ = busy; }
    // An operator's request is being served (otherwise a transfer was asked for by a unit).
    bool OperatorRequest() const { return operatorRequest_; }
    void setOperatorRequest(bool value) { operatorRequest_ = value; }
    // Whether an operator's request may start now: no service loop runs, or the loop has
    // handed the thread its pending work between two exchanges with its units. Inside a poll
    // or a header the line belongs to the loop; a request started there would mix its frames
    // with the exchange.
    bool LineAtRest() const { return !serviceRunning_ || loopAtRest_; }
    // The service loops mark the pump between two exchanges.
    void setLoopAtRest(bool atRest) { loopAtRest_ = atRest; }
    // Whether a request that can wait (a refresh of the operator's view) may take the line now:
    // it is at rest, and a polling loop has polled every address once since it last served a
    // unit, so that a unit whose request is waiting is not kept behind the refresh.
    bool LineQuiet() const {
        return LineAtRest() && (!serviceRunning_ || pollsSinceRequest_ >= kQuietPolls);
    }
    // The polling loop counts its polls that found no request; a served one starts anew.
    void countPoll(bool servedRequest) {
        pollsSinceRequest_ = servedRequest ? 0 : std::min(pollsSinceRequest_ + 1, kQuietPolls);
    }
    // Installs the service loop that runs while a block protocol is active.
    void setServiceFactory(ProtocolEnum protocol, LineServiceFactory factory);

private:
    Status setPortField(std::string& field, const std::string& value, const char* name);
    Status checkUnit(int FerixNo) const;
    void notify(const std::string& name) {
        if (!quiet_) {
            site_.PropertyChanged(name);
        }
    }
    Status activatePlain(bool value);
    Status activateService(bool value);
    ComError startupError(const char* let, const ComError& cause) const;

    Host& host_;
    ControlSite& site_;
    SerialLink link_;
    Indicator indicator_;
    std::map<ProtocolEnum, LineServiceFactory> services_;

    std::array<std::string, kUnitCount> ferixDir_;
    std::array<std::string, kUnitCount> prefix_;
    std::array<bool, kUnitCount> connected_{};
    std::string ferixHomeDir_;
    std::string commSpeed_ = "4800";
    std::string commParity_ = "n";
    std::string commDataBit_ = "8";
    std::string commStopBit_ = "2";
    std::uint8_t xonChar_ = 17;
    std::uint8_t xoffChar_ = 19;
    std::int16_t dncMaxRepeatNo_ = 4;
    bool active_ = false;
    std::array<std::string, kKindExtCount> exts_;
    std::int16_t f4copyTimeout_ = 8000;
    ProtocolEnum protocol_ = ProtDNC;
    bool heidenhainMaster_ = true;
    bool heidenhainCRLF_ = true;
    std::string heidenhainFileType_ = "N";
    bool zerosInName_ = false;
    std::int32_t maxProgramMegabytes_ = kDefaultProgramMegabytes;
    bool protectPrograms_ = false;
    std::string caption_;
    bool transferBusy_ = false;
    bool serviceRunning_ = false;
    bool loopAtRest_ = false;
    static constexpr int kQuietPolls = 11;  // the DNC line's addresses
    int pollsSinceRequest_ = kQuietPolls;   // loops without polls are always quiet
    bool operatorRequest_ = false;
    bool quiet_ = false;  // no change notices while the control is being created
};

// Installs the service loop of every block protocol (called by the constructor).
FERIXCOMM_API void installLineServices(ctrlFerixComm& control);

// Defaults of the saved state.
FERIXCOMM_API std::string defaultFerixHomeDir();
FERIXCOMM_API std::string defaultFerixDir(int FerixNo);

}  // namespace comm
