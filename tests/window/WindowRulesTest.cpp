// The sub-net window's rules without a window: pane shares, geometry limits, the unit selector
// and mask list, command sets, selection sums, transfer plans, listings and program calls.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>

#include "dnc/window/rules/CommandSets.h"
#include "dnc/window/rules/ConversionChoices.h"
#include "dnc/window/rules/DirectoryFiles.h"
#include "dnc/window/rules/ListOrder.h"
#include "dnc/window/rules/PaneShares.h"
#include "dnc/window/rules/ProgramLaunch.h"
#include "dnc/window/rules/QueuedRefreshes.h"
#include "dnc/window/rules/SelectionSummary.h"
#include "dnc/window/rules/TransferPlan.h"
#include "dnc/window/rules/UnitCommands.h"
#include "dnc/window/rules/UnitSelector.h"
#include "dnc/window/rules/WindowGeometry.h"
#include "dnc/window/rules/WindowTexts.h"
#include "localizing/lookup/ResourceStrings.h"

namespace fs = std::filesystem;
using namespace dnc::window;

namespace {

std::string english(int id) {
    return loc::resString(id, loc::kEnglish);
}

class TempDir {
public:
    TempDir() : path_(fs::temp_directory_path() / ("ferix-rules-" + std::to_string(getpid()))) {
        fs::remove_all(path_);
        fs::create_directories(path_);
    }
    ~TempDir() { fs::remove_all(path_); }
    const fs::path& path() const { return path_; }
    void file(const std::string& name, std::size_t size) const {
        std::ofstream(path_ / name, std::ios::binary) << std::string(size, 'x');
    }

private:
    fs::path path_;
};

TEST(PaneShares, StoredSharesAreCheckedAndTheRightPaneTakesTheRest) {
    const PaneShares defaults = validatePaneShares(0.6F, 0.5F, 0.2F);  // left + middle > 1
    EXPECT_FLOAT_EQ(defaults.left, 0.334F);
    EXPECT_FLOAT_EQ(defaults.middle, 0.333F);
    EXPECT_NEAR(defaults.right, 0.333F, 1e-6);
    EXPECT_NEAR(validatePaneShares(0.2F, 0.3F, 0.3F).right, 0.5F, 1e-6);
    const PaneShares collapsed = validatePaneShares(0.5F, 0.5F, 0.2F);
    EXPECT_FLOAT_EQ(collapsed.left, 0.5F);
    EXPECT_FLOAT_EQ(collapsed.right, 0.0F);
    EXPECT_FLOAT_EQ(validatePaneShares(-0.1F, 0.3F, 0.3F).left, 0.334F);
    EXPECT_FLOAT_EQ(validatePaneShares(0.2F, 1.5F, 0.3F).middle, 0.333F);
    EXPECT_FLOAT_EQ(validatePaneShares(std::nanf(""), 0.3F, 0.3F).left, 0.334F);
}

TEST(PaneShares, SplitterWidthsGiveShares) {
    const PaneShares s = sharesOfWidths(200, 300, 500);
    EXPECT_NEAR(s.left, 0.2F, 1e-6);
    EXPECT_NEAR(s.middle, 0.3F, 1e-6);
    EXPECT_NEAR(s.right, 0.5F, 1e-6);
    EXPECT_FLOAT_EQ(sharesOfWidths(0, 0, 0).left, 0.334F);
}

TEST(WindowGeometry, StoredSizeAndPositionAreLimited) {
    const TwipsRect limited = limitStoredGeometry({20000, -5, 500, 500}, 19200, 15360);
    EXPECT_EQ(limited.left, 0);  // beyond the screen
    EXPECT_EQ(limited.top, 0);
    EXPECT_EQ(limited.width, 1000);
    EXPECT_EQ(limited.height, 1000);
    const TwipsRect kept = limitStoredGeometry({1500, 900, 12000, 9000}, 19200, 15360);
    EXPECT_EQ(kept.left, 1500);
    EXPECT_EQ(kept.width, 12000);
    EXPECT_EQ(twipsFromPixels(400, 96.0), 6000);  // 15 twips per pixel at 96 dpi
    EXPECT_EQ(pixelsFromTwips(6000, 96.0), 400);
    EXPECT_EQ(pixelsFromTwips(1000, 0.0), 67);  // no resolution known: 96 dpi
}

TEST(WindowGeometry, AWindowOpenedAgainUnderAFrameStaysWhereItWas) {
    // A window manager's frame: 5 pixels of border on the left, 24 of title bar above.
    const auto reopened = [](TwipsRect stored) {
        const PixelRect placed = restoredWindowGeometry(stored, 96.0);
        const PixelRect frame{placed.x, placed.y, placed.width + 10, placed.height + 29};
        const PixelRect inner{placed.x + 5, placed.y + 24, placed.width, placed.height};
        return storedWindowGeometry(frame, inner, 96.0);
    };
    TwipsRect stored{1500, 900, 12000, 9000};
    for (int opening = 0; opening < 3; ++opening) {
        stored = reopened(stored);
        EXPECT_EQ(stored.left, 1500);
        EXPECT_EQ(stored.top, 900);
        EXPECT_EQ(stored.width, 12000);
        EXPECT_EQ(stored.height, 9000);
    }
}

dnc::ControlSettings settings(comm::ProtocolEnum protocol) {
    dnc::ControlSettings s;
    s.protocol = protocol;
    s.ferixHomeDir = "/srv/DNC1/";
    s.ferixDir[0] = "Mill1/";
    s.ferixDir[2] = "Ferix3/";
    s.ferixDir[4] = "";
    s.connected[2] = true;
    s.connected[4] = true;
    s.extensions = {"STX", "WTX", "LST", "SMC", "WMC", "STS", "WTS"};
    s.heidenhainFileType = "T";
    return s;
}

TEST(UnitSelector, EntriesFollowTheProtocol) {
    const auto dnc = unitEntries(settings(comm::ProtDNC), english);
    ASSERT_EQ(dnc.size(), 2U);  // unconnected units are left out
    EXPECT_EQ(dnc[0], (UnitEntry{3, "Ferix 3   /srv/DNC1/Ferix3"}));
    EXPECT_EQ(dnc[1], (UnitEntry{5, "Ferix 5   /srv/DNC1/"}));  // empty FerixDir stays empty
    EXPECT_EQ(unitEntries(settings(comm::ProtNone), english)[0].text, "/srv/DNC1/Ferix3");
    EXPECT_EQ(unitEntries(settings(comm::ProtTavro1), english)[0].text,
              "/srv/DNC1/Ferix3,   T (hex in directory CMOS)");
    auto unknown = settings(comm::ProtTavro1);
    unknown.heidenhainFileType = "Q";
    EXPECT_EQ(unitEntries(unknown, english)[0].text, "/srv/DNC1/Ferix3,   Q");
}

TEST(UnitSelector, MaskListAndReselection) {
    EXPECT_EQ(maskList(settings(comm::ProtDNC)),
              (std::vector<std::string>{"*.*", "*.STX", "*.WTX", "*.LST", "*.SMC", "*.WMC", "*.STS",
                                        "*.WTS"}));
    EXPECT_EQ(keepIndex(3, 8), 3);
    EXPECT_EQ(keepIndex(9, 4), 3);    // shorter list: the last entry
    EXPECT_EQ(keepIndex(-1, 4), -1);  // none stays none
    EXPECT_EQ(keepIndex(0, 0), -1);
    EXPECT_EQ(unitIndexAfterChange(comm::ProtDNC, 1, 3), 1);
    EXPECT_EQ(unitIndexAfterChange(comm::ProtDNC, 5, 3), 2);
    EXPECT_EQ(unitIndexAfterChange(comm::ProtHeidenhain, 2, 3), 0);
    EXPECT_EQ(unitIndexAfterChange(comm::ProtTavro1, 2, 0), -1);
}

TEST(CommandSets, ProtocolTableAndShowStopSets) {
    EXPECT_TRUE(protocolLayout(comm::ProtDNC).memoryPane);
    EXPECT_EQ(protocolLayout(comm::ProtTavro1).unitCommands, Availability::Disabled);
    EXPECT_EQ(protocolLayout(comm::ProtTavro1).listCommands, Availability::Enabled);
    EXPECT_FALSE(protocolLayout(comm::ProtNone).memoryPane);
    EXPECT_EQ(protocolLayout(comm::ProtHeidenhain).unitSelector, Availability::Disabled);
    EXPECT_EQ(protocolLayout(comm::ProtFerix).unitCommands, Availability::Unchanged);

    const auto ferix = commandsSwitchedByShowStop(comm::ProtFerix);
    EXPECT_EQ(ferix, (std::vector<std::string>{"cmdTransferPCFerix", "cmdTransferFerixPC",
                                               "mnuTransferFerixPC", "mnuTransferPCFerix",
                                               "btnStopCommunication", "btnStartCommunication"}));
    const auto dnc = commandsSwitchedByShowStop(comm::ProtDNC);
    EXPECT_EQ(dnc.size(), 15U + 6U);
    EXPECT_NE(std::find(dnc.begin(), dnc.end(), "btnClearMemory"), dnc.end());
    const auto tavro = commandsSwitchedByShowStop(comm::ProtTavro1);
    EXPECT_EQ(tavro.size(), 3U + 6U);
    EXPECT_EQ(std::find(tavro.begin(), tavro.end(), "mnuFerixInit"), tavro.end());
}

TEST(SelectionSummary, CountsSumsAndNames) {
    const std::vector<ListEntry> entries{{"A.WTX", 1000}, {"B.WTX", 24}, {"C.WTX", 7}};
    const SelectionSummary two = summarizeSelection(entries, {0, 1}, 1, english);
    EXPECT_EQ(two.files, "Selected 2 files, ");
    EXPECT_EQ(two.size, 1024);
    const SelectionSummary one = summarizeSelection(entries, {2}, 2, english);
    EXPECT_EQ(one.files, "C.WTX");
    EXPECT_EQ(one.size, 7);
    const SelectionSummary none = summarizeSelection(entries, {}, -1, english);
    EXPECT_EQ(none.files, "Select None");
    EXPECT_EQ(none.size, 0);
    // Beyond 2 GiB the sum is still right.
    const std::vector<ListEntry> big{{"BIG1", 2'000'000'000}, {"BIG2", 2'000'000'000}};
    EXPECT_EQ(summarizeSelection(big, {0, 1}, 0, english).size, 4'000'000'000LL);
}

Selection selection(int unit, std::vector<ListEntry> selected, std::optional<ListEntry> current) {
    return Selection{unit, std::move(selected), std::move(current)};
}

TEST(TransferPlan, ToTheUnit) {
    const std::vector<ListEntry> three{{"A", 1}, {"B", 2}, {"C", 3}};
    const TransferPlan plain =
        planTransferToUnit(comm::ProtNone, selection(1, three, ListEntry{"B", 2}), {});
    ASSERT_EQ(plain.files.size(), 1U);  // only the current entry, to unit 1
    EXPECT_EQ(plain.files[0].name, "B");
    EXPECT_EQ(plain.unit, 1);
    EXPECT_FALSE(plain.batch);
    const TransferPlan dnc =
        planTransferToUnit(comm::ProtDNC, selection(4, three, {}), {true, false});
    EXPECT_EQ(dnc.unit, 4);
    EXPECT_EQ(dnc.files, three);
    EXPECT_TRUE(dnc.batch);
    EXPECT_TRUE(dnc.refreshAtEnd);
    const TransferPlan continuous =
        planTransferToUnit(comm::ProtDNC, selection(4, three, {}), {true, true});
    EXPECT_FALSE(continuous.batch);
    EXPECT_FALSE(continuous.refreshAtEnd);
    EXPECT_FALSE(
        planTransferToUnit(comm::ProtHeidenhain, selection(1, three, {}), {}).refreshAtEnd);
    EXPECT_EQ(planTransferToUnit(comm::ProtDNC, selection(0, three, {}), {}).refusal,
              TransferPlan::Refusal::NoFileSelected);
    EXPECT_EQ(planTransferToUnit(comm::ProtDNC, selection(2, {}, {}), {}).refusal,
              TransferPlan::Refusal::NoFileSelected);
}

TEST(TransferPlan, FromTheUnitAndRemove) {
    const std::vector<ListEntry> memory{{"P1", 120}, {"P2", 4000}};
    const TransferPlan dnc = planTransferFromUnit(comm::ProtDNC, selection(2, memory, {}), "");
    EXPECT_TRUE(dnc.withLength);
    EXPECT_EQ(dnc.files[1].size, 4000);
    EXPECT_FALSE(dnc.refreshAtEnd);  // the memory list is not refreshed
    EXPECT_EQ(planTransferFromUnit(comm::ProtNone, {}, "   ").refusal,
              TransferPlan::Refusal::FileNameMissing);
    const TransferPlan typed = planTransferFromUnit(comm::ProtNoneEOF, {}, " PART7 ");
    EXPECT_EQ(typed.files[0].name, "PART7");
    EXPECT_FALSE(typed.withLength);
    EXPECT_EQ(planRemove(selection(2, {}, {}), {}).refusal, TransferPlan::Refusal::Silent);
    const TransferPlan remove = planRemove(selection(2, memory, {}), {true, false});
    EXPECT_TRUE(remove.batch);
    EXPECT_TRUE(remove.refreshAtEnd);
    EXPECT_FALSE(refreshOnMemoryChange({true, false}, true));
    EXPECT_TRUE(refreshOnMemoryChange({true, true}, false));
    EXPECT_FALSE(refreshOnMemoryChange({false, true}, false));
}

TEST(DirectoryFiles, ListingSkipsHiddenFilesAndFoldersAndMatchesMasks) {
    TempDir dir;
    dir.file("SHAFT.WTX", 10);
    dir.file("gear.wtx", 20);
    dir.file("README", 5);
    dir.file(".hidden.WTX", 1);
    fs::create_directories(dir.path() / "Sub.WTX");
    mkfifo((dir.path() / "pipe.WTX").c_str(), 0600);
    const auto wtx = listFiles(dir.path().string(), "*.WTX");
    ASSERT_EQ(wtx.size(), 2U);
    EXPECT_EQ(wtx[0], (ListEntry{"gear.wtx", 20}));
    EXPECT_EQ(wtx[1], (ListEntry{"SHAFT.WTX", 10}));
    EXPECT_EQ(listFiles(dir.path().string(), "*.*").size(), 3U);  // README too
    EXPECT_TRUE(listFiles((dir.path() / "missing").string(), "*.*").empty());
    EXPECT_TRUE(matchesMask("a.txt", "*.TXT"));
    EXPECT_FALSE(matchesMask("a.txt", "*.ncp"));
}

TEST(DirectoryFiles, AUnitDirectoryHidesItsChainFiles) {
    TempDir dir;
    dir.file("SHAFT.WTX", 10);
    dir.file("In.cnv", 128);
    dir.file("out.CNV", 0);
    const auto unit = listFiles(dir.path().string(), "*.*", Listing::UnitDirectory);
    ASSERT_EQ(unit.size(), 1U);
    EXPECT_EQ(unit[0].name, "SHAFT.WTX");
    EXPECT_EQ(listFiles(dir.path().string(), "*.cnv", Listing::UnitDirectory).size(), 0U);
    // A PC program directory is the operator's: everything in it shows.
    EXPECT_EQ(listFiles(dir.path().string(), "*.*").size(), 3U);
}

std::vector<std::string> namesOf(const std::vector<ListRow>& rows) {
    std::vector<std::string> names;
    for (const ListRow& row : rows) {
        names.push_back(row.entry.name);
    }
    return names;
}

TEST(ListOrder, AClickSortsByItsColumnAndASecondClickTurnsTheOrderRound) {
    ListOrder order;  // a fresh list is by name, ascending
    order = clickedColumn(order, SortColumn::Size);
    EXPECT_EQ(order, (ListOrder{SortColumn::Size, false}));
    order = clickedColumn(order, SortColumn::Size);
    EXPECT_EQ(order, (ListOrder{SortColumn::Size, true}));
    EXPECT_EQ(clickedColumn(order, SortColumn::Date), (ListOrder{SortColumn::Date, false}));
    EXPECT_EQ(clickedColumn({}, SortColumn::Name), (ListOrder{SortColumn::Name, true}));
}

TEST(ListOrder, NamesIgnoreCaseSizesCountAndDatesGoByTimeWithTiesKeptInPlace) {
    const std::vector<ListRow> rows = {
        {{"b.nc", 9}, 300},          {{"A.NC", 100}, 100}, {{"a.nc", 9}, 200},
        {{"C10", 20}, std::nullopt}, {{"c9", 9}, 100},
    };
    auto byName = rows;
    sortRows(byName, {SortColumn::Name, false});
    EXPECT_EQ(namesOf(byName), (std::vector<std::string>{"A.NC", "a.nc", "b.nc", "C10", "c9"}));
    sortRows(byName, {SortColumn::Name, true});
    EXPECT_EQ(namesOf(byName), (std::vector<std::string>{"c9", "C10", "b.nc", "a.nc", "A.NC"}));

    // Sizes as numbers (100 after 20, not before); equal sizes keep the order they had.
    auto bySize = rows;
    sortRows(bySize, {SortColumn::Size, false});
    EXPECT_EQ(namesOf(bySize), (std::vector<std::string>{"b.nc", "a.nc", "c9", "C10", "A.NC"}));
    sortRows(bySize, {SortColumn::Size, true});
    EXPECT_EQ(namesOf(bySize), (std::vector<std::string>{"A.NC", "C10", "b.nc", "a.nc", "c9"}));

    // Dates by time; an entry without one comes last going up and first going down.
    auto byDate = rows;
    sortRows(byDate, {SortColumn::Date, false});
    EXPECT_EQ(namesOf(byDate), (std::vector<std::string>{"A.NC", "c9", "a.nc", "b.nc", "C10"}));
    sortRows(byDate, {SortColumn::Date, true});
    EXPECT_EQ(namesOf(byDate), (std::vector<std::string>{"C10", "b.nc", "a.nc", "A.NC", "c9"}));
}

TEST(ListOrder, AListingCarriesEachFilesChangeTime) {
    TempDir dir;
    dir.file("OLD.NC", 1);
    dir.file("new.nc", 2);
    const timespec old[2] = {{1000000000, 0}, {1000000000, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, (dir.path() / "OLD.NC").c_str(), old, 0), 0);
    auto rows = listFileRows(dir.path().string(), "*.*");
    ASSERT_EQ(rows.size(), 2U);
    EXPECT_EQ(rows[0].entry.name, "new.nc");
    EXPECT_EQ(rows[1].modified, std::optional<std::int64_t>(1000000000));
    sortRows(rows, {SortColumn::Date, false});
    EXPECT_EQ(namesOf(rows), (std::vector<std::string>{"OLD.NC", "new.nc"}));
}

TEST(ConversionChoices, IncludeOffersSixKindsWithTheControlsExtensions) {
    dnc::ControlSettings settings;
    settings.extensions = {"STX", "WTX", "LST", "SMC", "WMC", "SDG", "WDG"};
    const auto kinds = includeKindChoices(settings, english);
    ASSERT_EQ(kinds.size(), 6U);
    EXPECT_EQ(kinds[0].text, "Source Text STX");
    EXPECT_EQ(kinds[1].text, "Work Text WTX");
    EXPECT_EQ(kinds[1].extension, "WTX");
    EXPECT_EQ(kinds[2].text, "Source Macro SMC");  // the list kind is no choice
    EXPECT_EQ(kinds[5].text, "Work Test WDG");
    settings.extensions[1] = "NCPROG";  // longer than three letters: still the whole extension
    EXPECT_EQ(includeKindChoices(settings, english)[1].extension, "NCPROG");
}

TEST(ConversionChoices, ExcludeOffersTheFixedExtensionsOfTheMasks) {
    EXPECT_EQ(excludeExtensionChoices({"*.txt", "*.ncp", "*.*"}),
              (std::vector<std::string>{"txt", "ncp"}));
    EXPECT_EQ(excludeExtensionChoices({"*.t?t", "PROG", "A*.ncp", "*.ncp", "*.tar.gz"}),
              (std::vector<std::string>{"ncp", "tar.gz"}));
    EXPECT_EQ(maskExtension("*.*"), "");
    EXPECT_EQ(maskExtension("*.txt"), "txt");
    EXPECT_EQ(maskExtension("*"), "");
}

TEST(ConversionChoices, OneFileIsCutAtItsFirstDotSeveralShowAStar) {
    EXPECT_EQ(proposedName({"part.1.txt"}, true), "PART");
    EXPECT_EQ(proposedName({"Part.1.WTX"}, false), "Part");
    EXPECT_EQ(proposedName({"noext"}, true), "NOEXT");
    EXPECT_EQ(proposedName({"a.b.txt", "c.txt"}, true), "*");
}

TEST(DirectoryFiles, PathsAreTrimmed) {
    TempDir dir;
    EXPECT_EQ(trimDirectoryPath("  /srv/dnc/ "), "/srv/dnc");
    EXPECT_EQ(trimDirectoryPath("/"), "/");
    EXPECT_TRUE(directoryExists(" " + dir.path().string() + "/ "));
    EXPECT_FALSE(directoryExists((dir.path() / "none").string()));
    EXPECT_FALSE(directoryExists("   "));
}

TEST(ProgramLaunch, EditorFoundOnThePathGetsTheFileAsOneArgument) {
    TempDir dir;
    dir.file("myedit", 3);
    fs::permissions(dir.path() / "myedit", fs::perms::owner_all);
    dir.file("notexec", 3);
    const std::string path = "/nonexistent:" + dir.path().string();
    const auto call = editorCall("myedit", "/srv/dnc/My \"Part\" 1.WTX", path);
    ASSERT_TRUE(call.has_value());
    EXPECT_EQ(call->program, (dir.path() / "myedit").string());
    EXPECT_EQ(call->arguments, (std::vector<std::string>{"/srv/dnc/My \"Part\" 1.WTX"}));
    EXPECT_FALSE(editorCall("notexec", "x", path).has_value());
    EXPECT_FALSE(editorCall("/no/such/editor", "x", path).has_value());
    EXPECT_TRUE(findProgram((dir.path() / "myedit").string(), "").has_value());
    EXPECT_EQ(firstProgram({"nothing-here", "myedit"}, path), (dir.path() / "myedit").string());
}

TEST(WindowTexts, InformationBarTextsAndMessages) {
    EXPECT_EQ(transferToUnitText("A.WTX", english), "File transfer A.WTX to Ferix ...");
    EXPECT_EQ(transferFromUnitText("P1", english), "File transfer P1 from Ferix...");
    EXPECT_EQ(deleteText("P1", english), "File delete P1 ...");
    EXPECT_EQ(unitErrorText("Timeout", english), "Error: Timeout");
    EXPECT_EQ(unitErrorText("Timeout", english, 3), "Error: Ferix 3: Timeout");
    EXPECT_EQ(unitTransferText(3, true, "PART7.WTX", english), "Ferix 3: sending PART7.WTX");
    EXPECT_EQ(unitTransferText(10, false, "P%2.WTX", english), "Ferix 10: receiving P%2.WTX");
    EXPECT_EQ(nothingReceivedText("BRACKET.WTX", english),
              "BRACKET.WTX: nothing received, no file was stored.");
    EXPECT_EQ(missingUnitDirectoryText("/srv/x/", english),
              "Ferix directory doesn't exists. Check configuration.\n(/srv/x/)");
    EXPECT_EQ(editorNotFoundText("/bin/ed2", english), "File not found: /bin/ed2");
    EXPECT_EQ(unitCommandText(UnitCommand::PurgeMemory, "", english), "Memory Purge ...");
    EXPECT_EQ(unitCommandText(UnitCommand::SelectFile, "P1", english), "File select P1 ...");
    EXPECT_EQ(unitCommandEntry(UnitCommand::Reset).question, 417);
    EXPECT_EQ(unitCommandEntry(UnitCommand::Section3).question, 0);
}

TEST(WindowTexts, RecordsBehindTakeTheLanguagesNumberForms) {
    const auto czech = [](int id) { return loc::resString(id, loc::kCzech); };
    EXPECT_EQ(historyBehindText(0, english), "");
    EXPECT_EQ(historyBehindText(1, english), "Shared history behind by 1 record");
    EXPECT_EQ(historyBehindText(3, english), "Shared history behind by 3 records");
    EXPECT_EQ(historyBehindText(1, czech), "Sdílená historie pozadu o 1 záznam");
    EXPECT_EQ(historyBehindText(4, czech), "Sdílená historie pozadu o 4 záznamy");
    EXPECT_EQ(historyBehindText(5, czech), "Sdílená historie pozadu o 5 záznamů");
    EXPECT_EQ(historyBehindText(12, czech), "Sdílená historie pozadu o 12 záznamů");
}

TEST(QueuedRefreshes, ANoticeWhileARefreshWaitsNeedsNoListingOfItsOwn) {
    QueuedRefreshes queued;
    EXPECT_TRUE(queued.claim(3));
    EXPECT_TRUE(queued.waiting(3));
    EXPECT_FALSE(queued.claim(3));  // covered by the waiting refresh
    EXPECT_FALSE(queued.claim(3));
    EXPECT_TRUE(queued.claim(4));  // each unit has its own memory
    // Once the waiting refresh reads the memory, a later change must be listed again.
    queued.starting(3);
    EXPECT_FALSE(queued.waiting(3));
    EXPECT_TRUE(queued.claim(3));
    EXPECT_TRUE(queued.waiting(4));
    // Numbers that name no unit are never held back.
    EXPECT_TRUE(queued.claim(0));
    EXPECT_TRUE(queued.claim(0));
    EXPECT_TRUE(queued.claim(12));
    EXPECT_FALSE(queued.waiting(12));
    queued.starting(-1);
}

}  // namespace
