#include "comm/PageValues.h"

namespace comm {

PageValues readPageValues(const ctrlFerixComm& control) {
    PageValues v;
    v.commPort = control.CommPort();
    v.commSpeed = control.CommSpeed();
    v.ferixHomeDir = control.FerixHomeDir();
    v.zerosInName = control.ZerosInName();
    v.f4copyTimeout = control.F4COPYTimeout();
    for (int k = 0; k < kKindExtCount; ++k) {
        v.extensions[static_cast<std::size_t>(k)] = control.ext(static_cast<KindExt>(k));
    }
    for (int n = 1; n <= kUnitCount; ++n) {
        UnitValues& unit = v.units[static_cast<std::size_t>(n - 1)];
        unit.ferixDir = control.FerixDir(n).value();
        unit.prefix = control.Prefix(n).value();
        // Connected(n) answers for the protocol (unit 1 alone on a single-unit line); the page
        // writes back what it shows, so it shows the kept flags, which a change of protocol
        // brings back.
        unit.connected = control.StoredConnected(n);
    }
    return v;
}

PropertyWriter::~PropertyWriter() = default;

void ControlWriter::keep(const Status& status) {
    if (!status) {
        errors_.push_back(status.error().description);
    }
}

void ControlWriter::setCommPort(std::int16_t value) {
    control_.setCommPort(value);
}

void ControlWriter::setCommSpeed(const std::string& value) {
    keep(control_.setCommSpeed(value));
}

void ControlWriter::setFerixHomeDir(const std::string& value) {
    control_.setFerixHomeDir(value);
}

void ControlWriter::setZerosInName(bool value) {
    control_.setZerosInName(value);
}

void ControlWriter::setF4COPYTimeout(std::int16_t value) {
    control_.setF4COPYTimeout(value);
}

void ControlWriter::setExt(KindExt kind, const std::string& value) {
    control_.setExt(kind, value);
}

void ControlWriter::setFerixDir(int FerixNo, const std::string& value) {
    keep(control_.setFerixDir(FerixNo, value));
}

void ControlWriter::setPrefix(int FerixNo, const std::string& value) {
    keep(control_.setPrefix(FerixNo, value));
}

void ControlWriter::setConnected(int FerixNo, bool value) {
    keep(control_.setConnected(FerixNo, value));
}

void RecordedWrites::setCommPort(std::int16_t value) {
    writes_.emplace_back([value](PropertyWriter& w) { w.setCommPort(value); });
}

void RecordedWrites::setCommSpeed(const std::string& value) {
    writes_.emplace_back([value](PropertyWriter& w) { w.setCommSpeed(value); });
}

void RecordedWrites::setFerixHomeDir(const std::string& value) {
    writes_.emplace_back([value](PropertyWriter& w) { w.setFerixHomeDir(value); });
}

void RecordedWrites::setZerosInName(bool value) {
    writes_.emplace_back([value](PropertyWriter& w) { w.setZerosInName(value); });
}

void RecordedWrites::setF4COPYTimeout(std::int16_t value) {
    writes_.emplace_back([value](PropertyWriter& w) { w.setF4COPYTimeout(value); });
}

void RecordedWrites::setExt(KindExt kind, const std::string& value) {
    writes_.emplace_back([kind, value](PropertyWriter& w) { w.setExt(kind, value); });
}

void RecordedWrites::setFerixDir(int FerixNo, const std::string& value) {
    writes_.emplace_back([FerixNo, value](PropertyWriter& w) { w.setFerixDir(FerixNo, value); });
}

void RecordedWrites::setPrefix(int FerixNo, const std::string& value) {
    writes_.emplace_back([FerixNo, value](PropertyWriter& w) { w.setPrefix(FerixNo, value); });
}

void RecordedWrites::setConnected(int FerixNo, bool value) {
    writes_.emplace_back([FerixNo, value](PropertyWriter& w) { w.setConnected(FerixNo, value); });
}

void RecordedWrites::replay(PropertyWriter& target) const {
    for (const auto& write : writes_) {
        write(target);
    }
}

}  // namespace comm
