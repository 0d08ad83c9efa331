#include "dnc/window/rules/TransferPlan.h"

namespace dnc::window {

namespace {

std::string trimBlanks(const std::string& text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

bool oneUnitProtocol(comm::ProtocolEnum protocol) {
    return protocol == comm::ProtNoneEOF || protocol == comm::ProtFerix ||
           protocol == comm::ProtNone;
}

}  // namespace

TransferPlan planTransferToUnit(comm::ProtocolEnum protocol, const Selection& unitDirectory,
                                AutoRefresh refresh) {
    TransferPlan plan;
    if (unitDirectory.unit == 0 || unitDirectory.selected.empty()) {
        plan.refusal = TransferPlan::Refusal::NoFileSelected;
        return plan;
    }
    if (oneUnitProtocol(protocol)) {
        plan.unit = 1;
        plan.files.push_back(unitDirectory.current ? *unitDirectory.current
                                                   : unitDirectory.selected.front());
        return plan;
    }
    plan.unit = static_cast<std::uint8_t>(unitDirectory.unit);
    plan.files = unitDirectory.selected;
    plan.batch = !refresh.autoFerixLstCont;
    plan.refreshAtEnd =
        refresh.autoFerixLst && !refresh.autoFerixLstCont && protocol != comm::ProtHeidenhain;
    plan.clearInfoAtEnd = true;
    return plan;
}

TransferPlan planTransferFromUnit(comm::ProtocolEnum protocol, const Selection& memory,
                                  const std::string& typedName) {
    TransferPlan plan;
    if (protocol == comm::ProtDNC || protocol == comm::ProtTavro1) {
        if (memory.unit == 0 || memory.selected.empty()) {
            plan.refusal = TransferPlan::Refusal::NoFileSelected;
            return plan;
        }
        plan.unit = static_cast<std::uint8_t>(memory.unit);
        plan.files = memory.selected;
        plan.withLength = true;
        plan.clearInfoAtEnd = true;
        return plan;
    }
    const std::string name = trimBlanks(typedName);
    if (name.empty()) {
        plan.refusal = TransferPlan::Refusal::FileNameMissing;
        return plan;
    }
    plan.unit = 1;
    plan.files.push_back({name, 0});
    return plan;
}

TransferPlan planRemove(const Selection& memory, AutoRefresh refresh) {
    TransferPlan plan;
    if (memory.unit == 0 || memory.selected.empty()) {
        plan.refusal = TransferPlan::Refusal::Silent;
        return plan;
    }
    plan.unit = static_cast<std::uint8_t>(memory.unit);
    plan.files = memory.selected;
    plan.batch = !refresh.autoFerixLstCont;
    plan.refreshAtEnd = refresh.autoFerixLst && !refresh.autoFerixLstCont;
    plan.clearInfoAtEnd = true;
    return plan;
}

bool refreshOnMemoryChange(AutoRefresh refresh, bool batchRunning) {
    return refresh.autoFerixLst && !batchRunning;
}

}  // namespace dnc::window
