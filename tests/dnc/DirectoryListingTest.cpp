// The listing of a unit directory: records, what is listed, and the listing a unit receives.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <ctime>

#include "comm/dnc/DirectoryListing.h"
#include "tests/dnc/UnitsFixture.h"

namespace {

using namespace comm::dnc;
using sim::unit::RequestSpec;
using sim::unit::UnitEvent;

TEST(ListingRecord, DosTimeAndDateAndLayout) {
    EXPECT_EQ(dosTime(13, 45, 59), 13 * 2048 + 45 * 32 + 29);
    EXPECT_EQ(dosDate(2024, 3, 5), 44 * 512 + 3 * 32 + 5);
    EXPECT_EQ(dosDate(1970, 1, 1), dosDate(1980, 1, 1)) << "held at the start of the format";
    EXPECT_EQ(dosDate(2200, 12, 31), 127 * 512 + 12 * 32 + 31);

    ListingEntry entry{"PRG1.WTX", 0x012345, 2024, 3, 5, 13, 45, 59};
    const std::string r = listingRecord(entry);
    ASSERT_EQ(r.size(), 32u);
    const std::uint8_t head[9] = {0x00, 0xBD, 0x6D, 0x65, 0x58, 0x45, 0x23, 0x01, 0x00};
    EXPECT_EQ(r.substr(0, 9), std::string(reinterpret_cast<const char*>(head), 9));
    EXPECT_EQ(r.substr(9, 9), std::string("PRG1.WTX\0", 9));
    EXPECT_EQ(r.substr(18), std::string(14, '\0'));

    entry.name = "ABCDEFGHIJKLM";  // 13 characters: the longest that fits
    EXPECT_EQ(listingRecord(entry).substr(9), "ABCDEFGHIJKLM" + std::string(10, '\0'));
}

class Listing : public UnitsFixture {
protected:
    Listing() { openLine(); }

    // Sets the file's time of last change to a local time.
    void touch(int unit, const std::string& name, int y, int mo, int d, int h, int mi, int s) {
        std::tm t{};
        t.tm_year = y - 1900;
        t.tm_mon = mo - 1;
        t.tm_mday = d;
        t.tm_hour = h;
        t.tm_min = mi;
        t.tm_sec = s;
        t.tm_isdst = -1;
        const timespec when[2] = {{std::mktime(&t), 0}, {std::mktime(&t), 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, (unitDir(unit) / name).c_str(), when, 0), 0);
    }
};

TEST_F(Listing, ListsOrdinaryFilesWithShortNamesOnly) {
    put(1, "B.STX", "");
    put(1, "A.WTX", "0123456789");
    put(1, ".hidden", "x");
    put(1, "In.cnv", std::string(128, '\0'));  // the unit's chains are not its programs
    put(1, "OUT.CNV", "");
    put(1, "ABCDEFGHIJ.WTX", "fourteen characters");
    fs::create_directory(unitDir(1) / "SUB");
    const auto entries = listUnitDirectory(unitDir(1));
    ASSERT_TRUE(entries.ok());
    ASSERT_EQ(entries.value().size(), 2u);
    EXPECT_EQ(entries.value()[0].name, "A.WTX");
    EXPECT_EQ(entries.value()[0].size, 10u);
    EXPECT_EQ(entries.value()[1].name, "B.STX");

    const auto none = listUnitDirectory(home / "missing");
    ASSERT_TRUE(none.ok());
    EXPECT_TRUE(none.value().empty());
}

TEST_F(Listing, AUnitReceivesOneRecordPerFileThenTheClosingBlock) {
    put(2, "A.WTX", "0123456789");
    put(2, "PRG7.STX", patterned(300));
    touch(2, "A.WTX", 2024, 3, 5, 13, 45, 58);
    unit(2).raise(RequestSpec::listing());
    ASSERT_TRUE(service.PollUnit(2));

    const UnitEvent listed = last(UnitEvent::ListingReceived, 2);
    EXPECT_EQ(listed.status, 0);
    EXPECT_EQ(listed.value, 0u);
    ASSERT_EQ(listed.listing.size(), 2u);
    EXPECT_EQ(listed.listing[0].name, "A.WTX");
    EXPECT_EQ(listed.listing[0].size, 10u);
    EXPECT_EQ(listed.listing[0].dosTime, dosTime(13, 45, 58));
    EXPECT_EQ(listed.listing[0].dosDate, dosDate(2024, 3, 5));
    EXPECT_EQ(listed.listing[1].name, "PRG7.STX");
    EXPECT_EQ(listed.listing[1].size, 300u);
    EXPECT_EQ(blockCodesTo(2), (std::vector<int>{128, 129, 0}));
    EXPECT_TRUE(site.errors.empty());
}

TEST_F(Listing, AnEmptyDirectoryIsJustTheClosingBlock) {
    unit(3).raise(RequestSpec::listing());
    ASSERT_TRUE(service.PollUnit(3));
    EXPECT_TRUE(last(UnitEvent::ListingReceived, 3).listing.empty());
    EXPECT_EQ(blockCodesTo(3), std::vector<int>{0});
}

TEST_F(Listing, NothingIsSentOnOtherProtocols) {
    control.link().close();
    ASSERT_TRUE(control.setProtocol(comm::ProtHeidenhain));
    DncTransfers transfers(control);
    ASSERT_TRUE(transfers.SendDirectoryListing(1));
    EXPECT_TRUE(line.receivedByPeer().empty());
}

}  // namespace
