// A control on a virtual line at 9600 bits per second, with a temporary unit directory and the
// port open, for the transfers that run without a service loop.
#pragma once

#include <string>

#include "tests/comm/ControlFixture.h"
#include "tests/heidenhain/UnitDirectory.h"

class TransferFixture : public ControlFixture {
protected:
    TransferFixture() {
        control.setFerixHomeDir(dir.homeDir());
        EXPECT_TRUE(control.setFerixDir(1, UnitDirectory::unitDir()));
        EXPECT_TRUE(control.setCommSpeed("9600"));
    }

    void openLine(comm::ProtocolEnum protocol) {
        ASSERT_TRUE(control.setProtocol(protocol));
        ASSERT_TRUE(control.link().open());
    }

    // Bytes the control sent, as text.
    std::string sent() const { return line.receivedText(); }

    static std::string one(char c) { return std::string(1, c); }

    UnitDirectory dir;
};

inline constexpr char kStx = 0x02, kEtx = 0x03, kEot = 0x04, kAck = 0x06, kDc1 = 0x11, kNak = 0x15,
                      kEtb = 0x17;
