// The operator's request methods of the control; the work is done by PcRequests.
#include "comm/FerixComm.h"
#include "comm/requests/PcRequests.h"

namespace comm {

using namespace request;

void ctrlFerixComm::DoPCRequest(std::uint8_t FerixAdr, std::uint8_t Action, std::uint8_t Direction,
                                std::uint8_t Extension, const std::string& FileName,
                                std::int32_t LenOfFile) {
    PcRequests(*this).DoPCRequest(FerixAdr, Action, Direction, Extension, FileName, LenOfFile);
}

MemoryList ctrlFerixComm::FerixLst(std::uint8_t FerixAdr) {
    return PcRequests(*this).FerixLst(FerixAdr);
}

void ctrlFerixComm::DoPcRequestFileToFerix(std::uint8_t FerixAdr, const std::string& FileName) {
    PcRequests(*this).DoPcRequestFileToFerix(FerixAdr, FileName);
}

void ctrlFerixComm::DoPcRequestFileFromFerix(std::uint8_t FerixAdr, const std::string& FileName,
                                             std::int32_t LenOfFile) {
    DoPCRequest(FerixAdr, kFileTransfer, kFromUnit, kWorkText, FileName, LenOfFile);
}

void ctrlFerixComm::DoPCRequestRemoveFile(std::uint8_t FerixAdr, const std::string& FileName) {
    DoPCRequest(FerixAdr, kDelete, kToUnit, 0, FileName);
}

void ctrlFerixComm::DoPCRequestFerixSEL(std::uint8_t FerixAdr, const std::string& FileName) {
    DoPCRequest(FerixAdr, kCommand, kToUnit, kSelect, FileName);
}

void ctrlFerixComm::DoPCRequestFerixSTR(std::uint8_t FerixAdr) {
    DoPCRequest(FerixAdr, kCommand, kToUnit, kStr, "");
}

void ctrlFerixComm::DoPCRequestFerixSTP(std::uint8_t FerixAdr) {
    DoPCRequest(FerixAdr, kCommand, kToUnit, kStp, "");
}

void ctrlFerixComm::DoPCRequestFerixTR(std::uint8_t FerixAdr) {
    DoPCRequest(FerixAdr, kCommand, kToUnit, kTr, "");
}

void ctrlFerixComm::DoPCRequestFerixSek1(std::uint8_t FerixAdr) {
    DoPCRequest(FerixAdr, kCommand, kToUnit, kSection1, "");
}

void ctrlFerixComm::DoPCRequestFerixSek2(std::uint8_t FerixAdr) {
    DoPCRequest(FerixAdr, kCommand, kToUnit, kSection1 + 1, "");
}

void ctrlFerixComm::DoPCRequestFerixSek3(std::uint8_t FerixAdr) {
    DoPCRequest(FerixAdr, kCommand, kToUnit, kSection1 + 2, "");
}

void ctrlFerixComm::DoPCRequestFerixSek4(std::uint8_t FerixAdr) {
    DoPCRequest(FerixAdr, kCommand, kToUnit, kSection1 + 3, "");
}

void ctrlFerixComm::DoPCRequestFerixSekC(std::uint8_t FerixAdr) {
    DoPCRequest(FerixAdr, kCommand, kToUnit, kJoinSections, "");
}

void ctrlFerixComm::DoPCRequestFerixNul(std::uint8_t FerixAdr) {
    DoPCRequest(FerixAdr, kCommand, kToUnit, kPurge, "");
}

void ctrlFerixComm::DoPCRequestFerixReset(std::uint8_t FerixAdr) {
    DoPCRequest(FerixAdr, kCommand, kToUnit, kReset, "");
}

}  // namespace comm
