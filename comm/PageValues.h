// What the control's property pages show and write, apart from the control itself: the pages
// read a plain copy of a control's values and write through a small setter interface, so a
// host can read and write a control that lives on another thread by carrying these values
// (and the recorded writes) across in its own messages.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "comm/Export.h"
#include "comm/FerixComm.h"

namespace comm {

struct UnitValues {
    std::string ferixDir;
    std::string prefix;
    bool connected = false;  // the flag the control keeps, whatever the protocol
};

// The values of one control that the two pages show.
struct PageValues {
    std::int16_t commPort = 1;
    std::string commSpeed;
    std::string ferixHomeDir;
    bool zerosInName = false;
    std::int16_t f4copyTimeout = 0;
    std::array<std::string, kKindExtCount> extensions;  // in the order of KindExt
    std::array<UnitValues, kUnitCount> units;           // index unit - 1
};

// Copies the values; on the control's thread.
FERIXCOMM_API PageValues readPageValues(const ctrlFerixComm& control);

// The control's setters that the pages write through.
class FERIXCOMM_API PropertyWriter {
public:
    virtual ~PropertyWriter();
    virtual void setCommPort(std::int16_t value) = 0;
    virtual void setCommSpeed(const std::string& value) = 0;
    virtual void setFerixHomeDir(const std::string& value) = 0;
    virtual void setZerosInName(bool value) = 0;
    virtual void setF4COPYTimeout(std::int16_t value) = 0;
    virtual void setExt(KindExt kind, const std::string& value) = 0;
    virtual void setFerixDir(int FerixNo, const std::string& value) = 0;
    virtual void setPrefix(int FerixNo, const std::string& value) = 0;
    virtual void setConnected(int FerixNo, bool value) = 0;
};

// Writes straight into a control (on its thread), so every rule of its setters applies. A
// value a setter refuses is left out and its error kept; the writes after it still happen.
class FERIXCOMM_API ControlWriter : public PropertyWriter {
public:
    explicit ControlWriter(ctrlFerixComm& control) : control_(control) {}

    void setCommPort(std::int16_t value) override;
    void setCommSpeed(const std::string& value) override;
    void setFerixHomeDir(const std::string& value) override;
    void setZerosInName(bool value) override;
    void setF4COPYTimeout(std::int16_t value) override;
    void setExt(KindExt kind, const std::string& value) override;
    void setFerixDir(int FerixNo, const std::string& value) override;
    void setPrefix(int FerixNo, const std::string& value) override;
    void setConnected(int FerixNo, bool value) override;

    // The descriptions of the refused values, in the order of the writes.
    const std::vector<std::string>& errors() const { return errors_; }

private:
    void keep(const Status& status);

    ctrlFerixComm& control_;
    std::vector<std::string> errors_;
};

// Keeps the writes in their order, to be replayed later on the control's own thread. A plain
// value: it may be copied into a message.
class FERIXCOMM_API RecordedWrites : public PropertyWriter {
public:
    void setCommPort(std::int16_t value) override;
    void setCommSpeed(const std::string& value) override;
    void setFerixHomeDir(const std::string& value) override;
    void setZerosInName(bool value) override;
    void setF4COPYTimeout(std::int16_t value) override;
    void setExt(KindExt kind, const std::string& value) override;
    void setFerixDir(int FerixNo, const std::string& value) override;
    void setPrefix(int FerixNo, const std::string& value) override;
    void setConnected(int FerixNo, bool value) override;

    bool empty() const { return writes_.empty(); }
    std::size_t size() const { return writes_.size(); }
    void replay(PropertyWriter& target) const;

private:
    std::vector<std::function<void(PropertyWriter&)>> writes_;
};

}  // namespace comm
