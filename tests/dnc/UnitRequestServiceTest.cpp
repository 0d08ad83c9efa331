// The polling loop of a ProtDNC line and the service of the units' requests.
#include <gtest/gtest.h>

#include <cerrno>

#include "comm/dnc/UnitRequest.h"
#include "sim/virtual/ScriptedPeer.h"
#include "tests/dnc/UnitsFixture.h"

namespace {

using namespace comm::dnc;
using namespace std::string_literals;
using sim::unit::RequestSpec;
using sim::unit::UnitEvent;

std::string raw(std::initializer_list<int> head, const std::string& nameField) {
    std::string s;
    for (int b : head) {
        s += static_cast<char>(b);
    }
    return s + nameField + std::string(5, '\0');
}

RequestSpec rawRequest(const std::string& bytes) {
    RequestSpec r;
    r.raw = bytes;
    return r;
}

class Service : public UnitsFixture {
protected:
    std::vector<std::string> errorTexts() const {
        std::vector<std::string> texts;
        for (const auto& e : site.errors) {
            EXPECT_FALSE(e.reqSidePC);
            texts.push_back(e.description);
        }
        return texts;
    }
    // Addresses of the poll frames on the line, in order.
    std::vector<int> pollAddresses() const {
        sim::unit::PcFrameParser parser;
        std::vector<int> out;
        for (std::uint8_t b : line.receivedByPeer()) {
            if (auto f = parser.feed(b); f && f->isPoll()) {
                out.push_back(f->address);
            }
        }
        return out;
    }
};

TEST_F(Service, PollsEveryAddressInTurnAndBlinksOncePerCycle) {
    ASSERT_TRUE(control.setConnected(2, false));
    ASSERT_TRUE(runUntil([&] { return pollAddresses().size() >= 23; }));
    EXPECT_EQ(site.memChanged, (std::vector<std::uint8_t>{1, 3})) << "connected units at start";
    const std::vector<int> polled = pollAddresses();
    ASSERT_GE(polled.size(), 22u);
    for (std::size_t i = 0; i < 22; ++i) {
        EXPECT_EQ(polled[i], static_cast<int>(i % 11) + 1);
    }
    EXPECT_EQ(site.pictures, (std::vector<int>{2, 1, 2, 1})) << "active, two blinks, idle";
    EXPECT_FALSE(control.Active());
    EXPECT_FALSE(line.controlOpen());
    EXPECT_TRUE(site.errors.empty());
    EXPECT_TRUE(site.busyCalls.empty()) << "silent addresses are not served";
}

TEST_F(Service, ServesADownloadAnUploadAndAListingInOneRun) {
    put(1, "PRG1.WTX", patterned(100));
    unit(1).raise(RequestSpec::download("PRG1", 1));
    unit(3).memory().store({"PRG3", 0, "G1 X10\n"});
    unit(3).raise(RequestSpec::upload("PRG3", 0));
    unit(2).raise(RequestSpec::listing());
    ASSERT_TRUE(runUntil([&] {
        return hasEvent(UnitEvent::ProgramReceived) && hasEvent(UnitEvent::ProgramSent) &&
               hasEvent(UnitEvent::ListingReceived);
    }));
    EXPECT_EQ(last(UnitEvent::ProgramReceived, 1).data, patterned(100));
    EXPECT_EQ(read(3, "PRG3.STX"), "G1 X10\n");
    EXPECT_EQ(last(UnitEvent::ListingReceived, 2).listing.size(), 0u);
    EXPECT_EQ(site.busyCalls, (std::vector<bool>{true, false, true, false, true, false}));
    EXPECT_TRUE(site.errors.empty());
}

TEST_F(Service, RefusedRequestsAreReportedAndNothingIsTouched) {
    unit(1).raise(rawRequest(raw({2, 0, 2}, "////PRG1")));   // a list
    unit(1).raise(rawRequest(raw({2, 1, 3}, "////PRG1")));   // a name without extension
    unit(1).raise(rawRequest(raw({2, 2, 1}, "////PRG1")));   // direction 2
    unit(1).raise(rawRequest(raw({5, 0, 1}, "////PRG1")));   // action 5
    unit(1).raise(rawRequest(raw({2, 1, 1}, "/../../x")));   // out of the directory
    unit(1).raise(rawRequest(raw({2, 0, 1}, "///a\\..b")));  // another separator
    unit(1).raise(rawRequest(raw({2, 1, 1}, "////////")));   // no name at all
    unit(1).raise(rawRequest(raw({2, 1, 1}, "//////..")));
    unit(1).raise(rawRequest(std::string("\x02\x01\x01", 3)));  // too short for a name
    ASSERT_TRUE(
        runUntil([&] { return unit(1).requestsOutstanding() == 0 && site.errors.size() >= 9; }));

    const std::string processing = "Error while Processing Ferix Request (";
    const std::vector<std::string> texts = errorTexts();
    ASSERT_EQ(texts.size(), 9u);
    EXPECT_EQ(texts[0], processing + "Files of This Type are not Supported)");
    EXPECT_EQ(texts[1], processing + "Files of This Type are not Supported)");
    EXPECT_EQ(texts[2], processing + "Incorrectly Stated Transfer Direction)");
    EXPECT_EQ(texts[3], processing + "Action Request that is not Supported)");
    for (std::size_t i = 4; i < texts.size(); ++i) {
        EXPECT_EQ(texts[i].rfind(processing, 0), 0u) << texts[i];
    }
    EXPECT_NE(texts[4].find("directory separator"), std::string::npos) << texts[4];
    EXPECT_NE(texts[5].find("directory separator"), std::string::npos) << texts[5];
    EXPECT_NE(texts[6].find("empty"), std::string::npos) << texts[6];
    EXPECT_NE(texts[8].find("3 bytes"), std::string::npos) << texts[8];
    for (const auto& e : site.errors) {
        EXPECT_EQ(e.helpFile, "");
        EXPECT_EQ(e.context, 0);
    }
    EXPECT_TRUE(blockCodesTo(1).empty()) << "no block went to the unit";
    EXPECT_FALSE(fs::exists(home.parent_path() / "x.WTX"));
    EXPECT_EQ(fs::directory_iterator(unitDir(1)), fs::directory_iterator());
    EXPECT_EQ(units.eventsOf(UnitEvent::NotServed).size(), 9u);
}

TEST_F(Service, AUnitNeverReadsNorOverwritesAChainFile) {
    control.setWorkTextExt("CNV");  // a kind whose extension is that of the chain files
    put(1, "In.cnv", "chain");
    put(2, "Out.cnv", "chain");
    unit(1).raise(RequestSpec::download("IN", 1));
    unit(2).memory().store({"OUT", 1, "G1 X10\n"});
    unit(2).raise(RequestSpec::upload("OUT", 1));
    ASSERT_TRUE(runUntil([&] { return site.errors.size() >= 2; }));
    for (const std::string& text : errorTexts()) {
        EXPECT_NE(text.find("conversion chain"), std::string::npos) << text;
    }
    // The download ends at once with a failure status and none of the chain's bytes.
    const UnitEvent refused = last(UnitEvent::ProgramReceived, 1);
    EXPECT_EQ(refused.data, "");
    EXPECT_NE(refused.status, kStatusComplete);
    EXPECT_EQ(read(1, "In.cnv"), "chain");
    EXPECT_EQ(read(2, "Out.cnv"), "chain");
}

TEST_F(Service, AddressElevenIsPolledButNeverServed) {
    units.addUnit(11).raise(RequestSpec::download("PRG1", 1));
    put(1, "PRG1.WTX", "x");
    ASSERT_TRUE(runUntil([&] { return site.errors.size() >= 2; }));
    for (const std::string& text : errorTexts()) {
        EXPECT_EQ(text,
                  "Error while Receiving Ferix Request (Block could not be Transferred from Ferix "
                  "(Ferix is not Connected to DNC Network))");
    }
    EXPECT_EQ(line.receivedText().find(requestFrame(11)), std::string::npos);
    EXPECT_FALSE(hasEvent(UnitEvent::RequestSent));
}

TEST_F(Service, AnAnswerOtherThanDleOkIsIgnored) {
    sim::ScriptedPeer peer(line);  // replaces the simulated units on the line
    std::string poll2 = pollFrame();
    setPollAddress(poll2, 2);
    peer.expect(poll2.substr(0, 13), std::string("\x10\x02", 2));
    ASSERT_TRUE(runUntil([&] { return peer.finished() && host.nowMicros() > 3'000'000; }));
    EXPECT_EQ(line.receivedText().find(requestFrame(2)), std::string::npos);
    EXPECT_EQ(site.busyCalls, (std::vector<bool>{true, false}));
    EXPECT_TRUE(site.errors.empty());
}

TEST_F(Service, SwitchingOffDuringATransferLetsItFinish) {
    put(1, "PRG1.WTX", patterned(500));
    unit(1).raise(RequestSpec::download("PRG1", 1));
    onPump = [&] {
        if (site.progress.size() == 2 && control.Active()) {
            EXPECT_TRUE(control.setActive(false));
        }
    };
    ASSERT_TRUE(runUntil([] { return false; }));
    const UnitEvent received = last(UnitEvent::ProgramReceived);
    EXPECT_EQ(received.status, kStatusComplete);
    EXPECT_EQ(received.data, patterned(500));
    EXPECT_FALSE(line.controlOpen());
}

TEST_F(Service, APortThatFailsEndsTheLoopWithTheStartupError) {
    host.at(200'000, [&] { line.failWritesWith(EIO); });
    const comm::Status failed = runUntil([] { return false; });
    ASSERT_FALSE(failed.ok());
    EXPECT_EQ(static_cast<std::uint32_t>(failed.error().number), 0x80040001u);
    EXPECT_EQ(failed.error().source, "FerixComm.Active (let 4)");
    EXPECT_EQ(failed.error().description.rfind(
                  "Error at Start-up or while Communicating (Error while writing to serial "
                  "port(GetLastError:" +
                      std::to_string(EIO) + ")",
                  0),
              0u)
        << failed.error().description;
    EXPECT_FALSE(control.Active());
    EXPECT_FALSE(line.controlOpen());
}

TEST(UnitRequestFormat, NameOffsetModeAndCount) {
    std::string block = raw({2, 0, 1}, "////PRG1");
    EXPECT_EQ(parseUnitRequest(block).name, "PRG1");
    EXPECT_FALSE(parseUnitRequest(block + "\x01\x02\x03\x04\x02\x32").part) << "22 bytes";
    const UnitRequest partial = parseUnitRequest(block + "\x64\x00\x00\x00\x02\x32\x01"s);
    ASSERT_TRUE(partial.part);
    EXPECT_EQ(partial.part->offset, 100);
    EXPECT_EQ(partial.part->offsetMode, 2);
    EXPECT_EQ(partial.part->count, 0x0132);
    EXPECT_EQ(parseUnitRequest(std::string(1, '\x07')).action, 7);
}

}  // namespace
