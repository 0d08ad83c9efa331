// The unit simulator: its reading of the PC's frames, its faults as the control meets them, and
// the operator's commands.
#include <gtest/gtest.h>

#include "sim/unit/UnitCommands.h"
#include "tests/dnc/UnitsFixture.h"

namespace {

using namespace sim::unit;
using comm::dnc::kStatusComplete;

std::string bytes(std::initializer_list<int> list) {
    std::string s;
    for (int b : list) {
        s += static_cast<char>(b);
    }
    return s;
}

std::vector<PcFrame> parse(const std::string& stream) {
    PcFrameParser parser;
    std::vector<PcFrame> frames;
    for (char c : stream) {
        if (auto f = parser.feed(static_cast<std::uint8_t>(c))) {
            frames.push_back(*f);
        }
    }
    return frames;
}

TEST(UnitFrameReading, ReadsPollsRequestsBlocksAndAcknowledgements) {
    const std::string poll =
        bytes({0xFF, 0x10, 0x04, 7, 7, 0x10, 0x02, 0x00, 0x01, 0x10, 0x83, 0x01, 0x00, 0xFF, 0xFF});
    const std::string req = bytes({0xFF, 0x10, 0x04, 3, 3, 0x10, 0x85});
    const std::string block = bytes(
        {0xFF, 0x10, 0x04, 3, 3, 0x10, 0x02, 0x81, 0x10, 0x10, 0x41, 0x10, 0x83, 0xD2, 0x00, 0xFF});
    const std::string ack = bytes({0x10, 0x01, 0xFF});
    const std::string crossed = bytes({0xFF, 0x10, 0x04, 3, 4, 0x10, 0x85});
    const auto frames = parse(poll + req + block + ack + crossed);
    ASSERT_EQ(frames.size(), 4u);
    EXPECT_TRUE(frames[0].isPoll());
    EXPECT_EQ(frames[0].address, 7);
    EXPECT_EQ(frames[1].kind, PcFrame::BlockWanted);
    EXPECT_EQ(frames[1].address, 3);
    EXPECT_EQ(frames[2].code, 0x81);
    EXPECT_EQ(frames[2].data, bytes({0x10, 0x41}));
    EXPECT_TRUE(frames[2].intact);
    EXPECT_EQ(frames[3].kind, PcFrame::Acknowledge);

    const auto bad =
        parse(bytes({0xFF, 0x10, 0x04, 3, 3, 0x10, 0x02, 0x81, 0x41, 0x10, 0x83, 0xC3, 0x01}));
    ASSERT_EQ(bad.size(), 1u);
    EXPECT_FALSE(bad[0].intact) << "final byte not 0x00";
}

TEST(UnitFrameReading, RequestBlocksAreRightAlignedWithSlashes) {
    EXPECT_EQ(encodeRequest(RequestSpec::upload("PRG1", 5)),
              bytes({2, 1, 5}) + "////PRG1" + std::string(5, '\0'));
    const std::string partial =
        encodeRequest(RequestSpec::partialDownload("ABCDEFGH", 1, {-1, 2, 0x1234}));
    EXPECT_EQ(partial.size(), 23u);
    EXPECT_EQ(partial.substr(3, 8), "ABCDEFGH");
    EXPECT_EQ(partial.substr(16), bytes({0xFF, 0xFF, 0xFF, 0xFF, 2, 0x34, 0x12}));
    EXPECT_EQ(unitBlock(0x80, "\x10", 0),
              bytes({0x10, 0x02, 0x80, 0x10, 0x10, 0x10, 0x83, 0x90, 0}));
}

class Faults : public UnitsFixture {
protected:
    Faults() { openLine(); }
    void serve(std::uint8_t address) { ASSERT_TRUE(service.PollUnit(address)); }
    std::size_t played(const std::string& fault) const {
        std::size_t n = 0;
        for (const auto& e : units.eventsOf(UnitEvent::FaultPlayed)) {
            n += e.detail == fault;
        }
        return n;
    }
};

TEST_F(Faults, AWrongCheckByteIsAskedForAgain) {
    unit(1).memory().store({"P", 1, patterned(80)});
    unit(1).raise(RequestSpec::upload("P", 1));
    unit(1).injectFault(Fault::WrongCheckByte, 2);
    serve(1);
    EXPECT_EQ(played("wrong check byte"), 2u);
    EXPECT_EQ(read(1, "P.WTX"), patterned(80));
    EXPECT_TRUE(site.errors.empty());
}

TEST_F(Faults, ARepeatedBlockIsDroppedByThePC) {
    unit(1).memory().store({"P", 1, patterned(100)});
    unit(1).raise(RequestSpec::upload("P", 1));
    unit(1).injectFault(Fault::RepeatBlock, 2);
    serve(1);
    EXPECT_EQ(played("repeated block"), 2u);
    EXPECT_EQ(read(1, "P.WTX"), patterned(100)) << "no block twice";
    EXPECT_EQ(last(UnitEvent::ProgramSent).status, kStatusComplete);
}

TEST_F(Faults, AMissingAcknowledgementMakesThePCSendAgain) {
    put(1, "P.WTX", patterned(70));
    unit(1).raise(RequestSpec::download("P", 1));
    unit(1).injectFault(Fault::MissingAcknowledge, 3);
    serve(1);
    EXPECT_EQ(played("missing acknowledgement"), 3u);
    EXPECT_EQ(last(UnitEvent::ProgramReceived).data, patterned(70));
    EXPECT_TRUE(site.errors.empty());
}

TEST_F(Faults, TooManyMissingAcknowledgementsFailTheTransfer) {
    put(1, "P.WTX", patterned(70));
    unit(1).raise(RequestSpec::download("P", 1));
    unit(1).injectFault(Fault::MissingAcknowledge, 4);
    serve(1);
    ASSERT_EQ(site.errors.size(), 1u);
    EXPECT_EQ(site.errors[0].description,
              "Error while Processing Ferix Request (Error while Transferring File to Ferix "
              "(Block could not be Transferred to Ferix))");
    EXPECT_EQ(last(UnitEvent::ProgramReceived).status, comm::dnc::kStatusFailed);
}

TEST_F(Faults, ASilentUnitIsReportedAndServedWhenItSpeaksAgain) {
    put(1, "P.WTX", "program");
    unit(1).raise(RequestSpec::download("P", 1));
    bool armed = false;
    host.setPumpHook([&] {
        if (!armed && hasEvent(UnitEvent::Announced)) {
            armed = true;
            unit(1).injectFault(Fault::Silence, 4);  // the four requests for its block
        }
    });
    serve(1);
    ASSERT_EQ(site.errors.size(), 1u);
    EXPECT_EQ(site.errors[0].description,
              "Error while Receiving Ferix Request (Block could not be Transferred from Ferix)");
    serve(1);
    EXPECT_EQ(last(UnitEvent::ProgramReceived).data, "program");
}

TEST(UnitCommandLine, QueuesRequestsAndArmsFaults) {
    UnitSimulator units;
    units.addUnit(1);
    units.addUnit(11);
    UnitCommands commands([&](const std::function<void(UnitSimulator&)>& f) { f(units); });
    EXPECT_EQ(commands.execute("request 1 get PRG1 1 100 2 50"), "unit 1: request queued");
    EXPECT_EQ(commands.execute("request 11 dir"), "unit 11: request queued");
    EXPECT_EQ(commands.execute("request 1 raw 05 00 01"), "unit 1: request queued");
    EXPECT_EQ(units.unit(1)->requestsOutstanding(), 2u);
    EXPECT_EQ(commands.execute("fault 1 silence forever"), "unit 1: silence armed");
    EXPECT_EQ(commands.execute("section 1 3"), "unit 1: section 3 selected");
    EXPECT_EQ(units.unit(1)->memory().currentSection(), 3);
    EXPECT_EQ(commands.execute("   "), "");
    EXPECT_FALSE(commands.quitRequested());
    commands.execute("quit");
    EXPECT_TRUE(commands.quitRequested());
}

TEST(UnitCommandLine, RefusesWhatItCannotDo) {
    UnitSimulator units;
    units.addUnit(1);
    UnitCommands commands([&](const std::function<void(UnitSimulator&)>& f) { f(units); });
    for (const char* bad :
         {"request 2 dir", "request 1 get TOOLONGNAME 1", "request 1 get P x",
          "request 1 put MISSING", "section 1 5", "fault 1 sometimes",
          "load 1 P 1 /nonexistent/file", "frobnicate", "request 1 get P 1 0 0"}) {
        EXPECT_EQ(commands.execute(bad).rfind("error: ", 0), 0u) << bad;
    }
    EXPECT_EQ(units.unit(1)->requestsOutstanding(), 0u);
}

TEST(UnitCommandLine, LoadsAndSavesPrograms) {
    const fs::path dir =
        fs::temp_directory_path() / ("ferix-unitsim-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    std::ofstream(dir / "in.nc", std::ios::binary) << std::string("G0 X1\n\x10\xFF", 8);
    UnitSimulator units;
    units.addUnit(2);
    UnitCommands commands([&](const std::function<void(UnitSimulator&)>& f) { f(units); });
    EXPECT_EQ(commands.execute("load 2 PRG 1 " + (dir / "in.nc").string() + " 2"),
              "unit 2: PRG loaded into section 2, 8 bytes");
    EXPECT_EQ(commands.execute("request 2 put PRG").rfind("error", 0), 0u) << "not current";
    commands.execute("section 2 2");
    EXPECT_EQ(commands.execute("request 2 put PRG"), "unit 2: request queued");
    EXPECT_EQ(commands.execute("save 2 PRG " + (dir / "out.nc").string()).rfind("saved", 0), 0u);
    std::ifstream in(dir / "out.nc", std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}),
              std::string("G0 X1\n\x10\xFF", 8));
    EXPECT_NE(commands.execute("memory 2 2").find("PRG  kind 1  8 bytes"), std::string::npos);
    fs::remove_all(dir);
}

}  // namespace
