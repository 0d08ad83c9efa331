#include "dnc/window/rules/CommandSets.h"

namespace dnc::window {

ProtocolLayout protocolLayout(comm::ProtocolEnum protocol) {
    using A = Availability;
    switch (protocol) {
        case comm::ProtDNC:
            return {true, A::Enabled, A::Enabled, A::Enabled};
        case comm::ProtTavro1:
            return {true, A::Enabled, A::Disabled, A::Disabled};
        case comm::ProtFerix:
            return {false, A::Unchanged, A::Unchanged, A::Unchanged};
        case comm::ProtNoneEOF:
        case comm::ProtHeidenhain:
        case comm::ProtNone:
            break;
    }
    return {false, A::Disabled, A::Disabled, A::Disabled};
}

const std::vector<std::string>& listCommandNames() {
    static const std::vector<std::string> names{"cmdFerixLstRemove", "btnFerixLst",
                                                "mnuTransferLst", "mnuTransferRemove"};
    return names;
}

const std::vector<std::string>& unitCommandNames() {
    static const std::vector<std::string> names{
        "btnClearMemory", "mnuFerixSelectFile", "mnuFerixSTR",  "mnuFerixSTP",
        "mnuFerixReadTR", "mnuFerixSEK1",       "mnuFerixSEK2", "mnuFerixSEK3",
        "mnuFerixSEK4",   "mnuFerixSEKC",       "mnuFerixInit", "mnuFerixClearMemory"};
    return names;
}

std::vector<std::string> commandsSwitchedByShowStop(comm::ProtocolEnum protocol) {
    std::vector<std::string> names;
    if (protocol == comm::ProtDNC) {
        names = {"mnuFerixClearMemory", "mnuFerixInit", "mnuFerixReadTR", "mnuFerixSEK1",
                 "mnuFerixSEK2",        "mnuFerixSEK3", "mnuFerixSEK4",   "mnuFerixSEKC",
                 "mnuFerixSelectFile",  "mnuFerixSTP",  "mnuFerixSTR",    "mnuTransferLst",
                 "mnuTransferRemove",   "btnFerixLst",  "btnClearMemory"};
    } else if (protocol == comm::ProtTavro1) {
        names = {"mnuTransferLst", "mnuTransferRemove", "btnFerixLst"};
    }
    for (const char* always :
         {"cmdTransferPCFerix", "cmdTransferFerixPC", "mnuTransferFerixPC", "mnuTransferPCFerix",
          "btnStopCommunication", "btnStartCommunication"}) {
        names.emplace_back(always);
    }
    return names;
}

}  // namespace dnc::window
