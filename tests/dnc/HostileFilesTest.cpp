// What a unit directory may hold that is no program: links out of it, FIFOs, devices, programs
// too large. Each is refused with the unit told at once, and nothing outside the home is read or
// written.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tests/dnc/UnitsFixture.h"

namespace {

using namespace comm::dnc;
using sim::unit::RequestSpec;
using sim::unit::UnitEvent;

class HostileFiles : public UnitsFixture {
protected:
    HostileFiles() {
        openLine();
        outside = home.string() + "-outside";
        fs::remove_all(outside);
        fs::create_directories(outside);
    }
    ~HostileFiles() override { fs::remove_all(outside); }

    void serve(std::uint8_t address) { ASSERT_TRUE(service.PollUnit(address)); }
    // Downloads `name` (a work text) to unit 1 and returns what the unit was sent.
    UnitEvent download(const std::string& name, std::uint8_t address = 1) {
        unit(address).raise(RequestSpec::download(name, 1));
        (void)service.PollUnit(address);  // the unit's event tells the outcome
        return last(UnitEvent::ProgramReceived, address);
    }
    std::string errors() const {
        std::string all;
        for (const auto& e : site.errors) {
            all += e.description + "\n";
        }
        return all;
    }

    fs::path outside;
};

TEST_F(HostileFiles, LinksFifosAndDevicesAreRefusedAndTheUnitIsToldAtOnce) {
    fs::create_symlink("/etc/passwd", unitDir(1) / "PASSWD.WTX");
    fs::create_symlink("/dev/zero", unitDir(1) / "ZERO.WTX");
    ASSERT_EQ(::mkfifo((unitDir(1) / "FIFO.WTX").c_str(), 0644), 0);
    for (const char* name : {"PASSWD", "ZERO", "FIFO"}) {
        site.errors.clear();
        const UnitEvent got = download(name);
        EXPECT_EQ(got.status, kStatusFailed) << name;
        EXPECT_TRUE(got.data.empty()) << name;
        ASSERT_EQ(site.errors.size(), 1u) << name;
        EXPECT_NE(site.errors[0].description.find(std::string(name) + ".WTX"), std::string::npos);
    }
    put(1, "GOOD.WTX", "served after all of them");
    EXPECT_EQ(download("GOOD").data, "served after all of them");
}

TEST_F(HostileFiles, AUnitFolderThatLeadsOutOfTheHomeIsNeitherReadNorWritten) {
    fs::remove_all(unitDir(2));
    fs::create_directory_symlink(outside, unitDir(2));
    std::ofstream(outside / "SECRET.WTX") << "not for the unit";

    const UnitEvent got = download("SECRET", 2);
    EXPECT_EQ(got.status, kStatusFailed);
    EXPECT_TRUE(got.data.empty());

    unit(2).memory().store({"PLANT", 1, "planted"});
    unit(2).raise(RequestSpec::upload("PLANT", 1));
    serve(2);
    EXPECT_EQ(last(UnitEvent::ProgramSent, 2).status, kStatusNotWritten);
    EXPECT_FALSE(fs::exists(outside / "PLANT.WTX"));
    EXPECT_TRUE(site.dirChanged.empty()) << "nothing was stored";
    EXPECT_NE(errors().find("symbolic link"), std::string::npos) << errors();
}

TEST_F(HostileFiles, AProgramNamedLikeALinkIsNotReplacedThroughIt) {
    std::ofstream(outside / "TARGET") << "kept";
    fs::create_symlink(outside / "TARGET", unitDir(1) / "LINK.WTX");
    unit(1).memory().store({"LINK", 1, "over the link"});
    unit(1).raise(RequestSpec::upload("LINK", 1));
    serve(1);
    EXPECT_EQ(last(UnitEvent::ProgramSent, 1).status, kStatusNotWritten);
    std::ifstream in(outside / "TARGET");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "kept");
    EXPECT_TRUE(fs::is_symlink(unitDir(1) / "LINK.WTX"));
}

TEST_F(HostileFiles, AProgramAboveTheLimitIsRefusedWithTheLimitNamed) {
    control.setMaxProgramMegabytes(1);
    { std::ofstream(unitDir(1) / "HUGE.WTX"); }
    fs::resize_file(unitDir(1) / "HUGE.WTX", (1u << 20) + 1);  // sparse: nothing is written
    const UnitEvent got = download("HUGE");
    EXPECT_EQ(got.status, kStatusFailed);
    EXPECT_NE(errors().find("MaxProgramMegabytes"), std::string::npos) << errors();
}

TEST_F(HostileFiles, AListingLeavesOutWhatIsNoRegularFileAndAlwaysCloses) {
    put(3, "A.WTX", "0123456789");
    fs::create_symlink(unitDir(3) / "GONE.WTX", unitDir(3) / "DANGLE.WTX");
    fs::create_symlink("/etc/passwd", unitDir(3) / "PASSWD.WTX");
    ASSERT_EQ(::mkfifo((unitDir(3) / "FIFO.WTX").c_str(), 0644), 0);
    unit(3).raise(RequestSpec::listing());
    serve(3);
    const UnitEvent listed = last(UnitEvent::ListingReceived, 3);
    EXPECT_EQ(listed.status, kStatusComplete);
    ASSERT_EQ(listed.listing.size(), 1u);
    EXPECT_EQ(listed.listing[0].name, "A.WTX");
}

TEST_F(HostileFiles, RemainsOfAKilledWriteGoAtTheStartAndAreTold) {
    put(2, ".PRG.WTX.a1B2c3", "the whole program, never renamed");
    put(2, ".profile", "a person's hidden file");
    control.link().close();
    EXPECT_TRUE(runUntil([] { return true; }));
    EXPECT_FALSE(exists(2, ".PRG.WTX.a1B2c3"));
    EXPECT_TRUE(exists(2, ".profile"));
    ASSERT_EQ(site.transfers.size(), 1u);
    EXPECT_EQ(site.transfers[0].name, "PRG.WTX");
    EXPECT_EQ(site.transfers[0].unit, 2);
    EXPECT_EQ(site.transfers[0].outcome, comm::TransferOutcome::Failed);
    EXPECT_NE(site.transfers[0].error.find("interrupted write"), std::string::npos);
    EXPECT_NE(errors().find(".PRG.WTX.a1B2c3"), std::string::npos) << errors();
}

}  // namespace
