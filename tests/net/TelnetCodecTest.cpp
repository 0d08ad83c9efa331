// The Telnet layer of the network lines, byte for byte: escaping, any split of the stream,
// the negotiation's answers (and no answer loops), COM port commands and their answers.
#include <gtest/gtest.h>

#include <vector>

#include "comm/link/TelnetCodec.h"

namespace {

using namespace comm::telnet;
using Bytes = std::vector<std::uint8_t>;

struct Decoded {
    Bytes data;
    Bytes replies;
};

Decoded decodeAll(TelnetCodec& codec, const Bytes& wire, std::size_t piece = 0) {
    Decoded out;
    if (piece == 0) {
        codec.decode(wire, out.data, out.replies);
        return out;
    }
    for (std::size_t i = 0; i < wire.size(); i += piece) {
        const std::size_t n = std::min(piece, wire.size() - i);
        codec.decode({wire.data() + i, n}, out.data, out.replies);
    }
    return out;
}

// The codec after a server agreed to everything the client offered.
TelnetCodec agreed() {
    TelnetCodec codec;
    Bytes wire;
    codec.start(true, wire);
    decodeAll(codec, {kIac, kDo, kOptionBinary, kIac, kWill, kOptionBinary, kIac, kDo,
                      kOptionSuppressGoAhead, kIac, kWill, kOptionSuppressGoAhead, kIac, kDo,
                      kOptionComPort});
    return codec;
}

TEST(TelnetCodec, StartOffersBinarySuppressGoAheadAndComPort) {
    TelnetCodec codec;
    Bytes wire;
    codec.start(true, wire);
    EXPECT_EQ(wire,
              (Bytes{kIac, kWill, 0, kIac, kDo, 0, kIac, kWill, 3, kIac, kDo, 3, kIac, kWill, 44}));
    EXPECT_FALSE(codec.comPortAccepted());
    const Decoded d = decodeAll(codec, {kIac, kDo, 44});
    EXPECT_TRUE(codec.comPortAccepted());
    EXPECT_TRUE(d.replies.empty()) << "an agreement to our own offer needs no answer";
}

TEST(TelnetCodec, EveryByteValueRoundTripsWithIacDoubled) {
    const TelnetCodec codec = agreed();
    Bytes all;
    for (int b = 0; b < 256; ++b) {
        all.push_back(static_cast<std::uint8_t>(b));
    }
    Bytes wire;
    codec.encodeData(all, wire);
    EXPECT_EQ(wire.size(), 257u);
    EXPECT_EQ(Bytes(wire.end() - 2, wire.end()), (Bytes{kIac, kIac}));
    for (const std::size_t piece : {0u, 1u, 2u, 3u, 7u}) {
        TelnetCodec receiver = agreed();
        EXPECT_EQ(decodeAll(receiver, wire, piece).data, all) << "pieces of " << piece;
    }
}

TEST(TelnetCodec, CommandsInTheMiddleOfDataAreTakenOut) {
    TelnetCodec codec = agreed();
    const Bytes wire = {'A',  kIac, 241 /* NOP */, 'B', kIac, kSb,  44, 107,
                        0x30, kIac, kSe,           'C', kIac, kIac, 'D'};
    for (const std::size_t piece : {0u, 1u, 4u}) {
        TelnetCodec c = agreed();
        const Decoded d = decodeAll(c, wire, piece);
        EXPECT_EQ(d.data, (Bytes{'A', 'B', 'C', kIac, 'D'}));
        EXPECT_EQ(c.answer(ComPortCommand::NotifyModemState), Bytes{0x30});
    }
}

TEST(TelnetCodec, ComPortCommandsCarryTheirValuesEscaped) {
    Bytes wire;
    TelnetCodec::encodeComPort(ComPortCommand::SetBaudRate, Bytes{0, 1, 0xC2, 0}, wire);
    EXPECT_EQ(wire, (Bytes{kIac, kSb, 44, 1, 0, 1, 0xC2, 0, kIac, kSe}));
    wire.clear();
    TelnetCodec::encodeComPort(ComPortCommand::SetBaudRate, Bytes{0, 0, 0, 0xFF}, wire);
    EXPECT_EQ(wire, (Bytes{kIac, kSb, 44, 1, 0, 0, 0, kIac, kIac, kIac, kSe}));

    TelnetCodec codec = agreed();
    decodeAll(codec, {kIac, kSb, 44, 101, 0, 0, 0, kIac, kIac, kIac, kSe, kIac, kSb, 44, 102, 7,
                      kIac, kSe});
    EXPECT_EQ(codec.answer(ComPortCommand::SetBaudRate), (Bytes{0, 0, 0, 0xFF}));
    EXPECT_EQ(codec.answer(ComPortCommand::SetDataSize), Bytes{7});
    EXPECT_EQ(codec.answers(), 2u);
    EXPECT_FALSE(codec.answer(ComPortCommand::SetParity));
}

TEST(TelnetCodec, UnknownOptionsAreRefusedOnceAndAgreementsNotRepeated) {
    TelnetCodec codec = agreed();
    // The server wants to echo and to have us send the terminal type: no to both.
    Decoded d = decodeAll(codec, {kIac, kWill, 1, kIac, kDo, 24});
    EXPECT_EQ(d.replies, (Bytes{kIac, kDont, 1, kIac, kWont, 24}));
    // Agreements to what is on already get no answer, so that nothing loops.
    d = decodeAll(codec, {kIac, kDo, 0, kIac, kWill, 0, kIac, kWill, 3});
    EXPECT_TRUE(d.replies.empty());
    // Switching an option off is acknowledged once.
    d = decodeAll(codec, {kIac, kDont, 0, kIac, kDont, 0});
    EXPECT_EQ(d.replies, (Bytes{kIac, kWont, 0}));
    EXPECT_FALSE(codec.sendsBinary());
}

TEST(TelnetCodec, ARefusedComPortIsReported) {
    TelnetCodec codec;
    Bytes wire;
    codec.start(true, wire);
    const Decoded d = decodeAll(codec, {kIac, kDont, 44});
    EXPECT_TRUE(codec.comPortRefused());
    EXPECT_FALSE(codec.comPortAccepted());
    EXPECT_TRUE(d.replies.empty());
}

TEST(TelnetCodec, WithoutBinaryCarriageReturnTravelsWithNul) {
    TelnetCodec codec;  // nothing agreed: network virtual terminal rules
    Bytes wire;
    codec.encodeData(Bytes{'A', 13, 10, 13, 'B'}, wire);
    EXPECT_EQ(wire, (Bytes{'A', 13, 0, 10, 13, 0, 'B'}));
    const Decoded d = decodeAll(codec, {'A', 13, 0, 10, 13, 10, 13}, 1);
    EXPECT_EQ(d.data, (Bytes{'A', 13, 10, 13, 10, 13}));
    // Binary: CR is a byte like any other.
    TelnetCodec binary = agreed();
    wire.clear();
    binary.encodeData(Bytes{13, 0}, wire);
    EXPECT_EQ(wire, (Bytes{13, 0}));
    EXPECT_EQ(decodeAll(binary, {13, 0}).data, (Bytes{13, 0}));
}

TEST(TelnetCodec, FlowControlSuspendAndResume) {
    TelnetCodec codec = agreed();
    decodeAll(codec, {kIac, kSb, 44, 108, kIac, kSe});
    EXPECT_TRUE(codec.flowSuspended());
    decodeAll(codec, {kIac, kSb, 44, 109, kIac, kSe});
    EXPECT_FALSE(codec.flowSuspended());
}

TEST(TelnetCodec, AnOverlongOrBrokenSubnegotiationLosesNoFollowingData) {
    TelnetCodec codec = agreed();
    Bytes wire = {kIac, kSb, 44, 101};
    wire.insert(wire.end(), 500, 0x55);
    wire.insert(wire.end(), {kIac, kSe, 'X', kIac, kSb, 44, 102, 8, kIac, 'Y', 'Z'});
    const Decoded d = decodeAll(codec, wire);
    EXPECT_EQ(d.data, (Bytes{'X', 'Z'}));
    EXPECT_EQ(codec.answers(), 0u) << "neither the overlong nor the broken one counts";
}

}  // namespace
