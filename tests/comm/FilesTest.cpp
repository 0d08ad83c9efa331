// Names from the line and the replacement of files in unit directories.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "comm/files/FileIo.h"
#include "comm/files/PlainName.h"

namespace fs = std::filesystem;

namespace {

class UnitDirectory : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("ferix-files-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }
    void put(const std::string& name, const std::string& text) {
        std::ofstream(dir / name, std::ios::binary) << text;
    }
    std::size_t entries() const {
        return static_cast<std::size_t>(
            std::distance(fs::directory_iterator(dir), fs::directory_iterator()));
    }
    fs::path dir;
};

TEST(PlainName, OnlyPlainNamesPass) {
    for (const char* good : {"PROG1.WTX", "a", "...", "x..y", "Ü.nc", " lead"}) {
        EXPECT_TRUE(comm::isPlainName(good)) << good;
    }
    for (const char* bad : {"", ".", "..", "../x", "a/b", "a\\b", "/etc", "tab\there", "del\x7F"}) {
        EXPECT_FALSE(comm::isPlainName(bad)) << bad;
        EXPECT_FALSE(comm::plainNameProblem(bad).empty()) << bad;
    }
}

TEST(PlainName, ChainFilesAreNoProgramsOfAUnit) {
    for (const char* chain : {"In.cnv", "IN.CNV", "out.cnv", "Out.CNV"}) {
        EXPECT_TRUE(comm::isChainFileName(chain)) << chain;
        EXPECT_TRUE(comm::isPlainName(chain)) << chain;
        EXPECT_NE(comm::unitFileNameProblem(chain).find("conversion chain"), std::string::npos);
    }
    for (const char* program : {"In.cnv.WTX", "In.cn", "XIn.cnv", "IN", "P.CNV"}) {
        EXPECT_FALSE(comm::isChainFileName(program)) << program;
        EXPECT_EQ(comm::unitFileNameProblem(program), "") << program;
    }
    EXPECT_EQ(comm::unitFileNameProblem("a/b"), comm::plainNameProblem("a/b"));
}

TEST_F(UnitDirectory, FindsTheExactNameFirstThenAnotherCase) {
    put("prog1.wtx", "lower");
    EXPECT_EQ(comm::findInDirectory(dir, "PROG1.WTX"), dir / "prog1.wtx");
    put("PROG1.WTX", "upper");
    EXPECT_EQ(comm::findInDirectory(dir, "PROG1.WTX"), dir / "PROG1.WTX");
    EXPECT_EQ(comm::findInDirectory(dir, "Prog1.Wtx"), std::nullopt) << "two candidates";
    EXPECT_EQ(comm::findInDirectory(dir, "MISSING"), std::nullopt);
    EXPECT_EQ(comm::findInDirectory(dir, "../" + dir.filename().string()), std::nullopt);
    fs::create_directory(dir / "SUB");
    EXPECT_EQ(comm::findInDirectory(dir, "sub"), std::nullopt) << "directories are no files";
}

TEST_F(UnitDirectory, ReplacesAFileWhole) {
    put("P.WTX", "old");
    ASSERT_TRUE(comm::replaceFileAtomically(dir / "P.WTX", std::string("new\0data", 8)));
    EXPECT_EQ(comm::readWholeFile(dir / "P.WTX").value(), std::string("new\0data", 8));
    EXPECT_EQ(entries(), 1u) << "no temporary file left behind";
    struct stat st {};
    ASSERT_EQ(::stat((dir / "P.WTX").c_str(), &st), 0);
    EXPECT_NE(st.st_mode & S_IRGRP, 0u) << "readable like any other program file";
}

TEST_F(UnitDirectory, AFailedReplacementLeavesTheOldFile) {
    put("P.WTX", "old");
    fs::create_directory(dir / "DIR.WTX");
    const comm::Status failed = comm::replaceFileAtomically(dir / "DIR.WTX", "x");
    ASSERT_FALSE(failed.ok());
    EXPECT_NE(failed.error().description.find("DIR.WTX"), std::string::npos);
    EXPECT_EQ(comm::readWholeFile(dir / "P.WTX").value(), "old");
    EXPECT_EQ(entries(), 2u);
    EXPECT_FALSE(comm::replaceFileAtomically(dir / "missing" / "P.WTX", "x").ok());
    EXPECT_FALSE(comm::readWholeFile(dir / "missing.WTX").ok());
}

}  // namespace
