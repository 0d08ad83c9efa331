// The accounts file: written whole and private, read back, and refused when it could have been
// changed by anyone or is not an accounts file at all.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "web/Accounts.h"

namespace {

using web::Accounts;
using web::Role;

class AccountsFile : public ::testing::Test {
protected:
    AccountsFile() {
        dir = std::filesystem::temp_directory_path() /
              ("ferix-web-accounts-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        file = dir / "users";
    }
    ~AccountsFile() override { std::filesystem::remove_all(dir); }

    void write(const std::string& text) {
        std::ofstream(file, std::ios::binary) << text;
        ::chmod(file.c_str(), 0600);
    }
    std::optional<Accounts> load() {
        error.clear();
        return Accounts::load(file, error);
    }

    std::filesystem::path dir;
    std::filesystem::path file;
    std::string error;
};

TEST_F(AccountsFile, AnAddedUserSignsInWithItsPasswordOnlyAndTheFileStaysPrivate) {
    auto accounts = Accounts::load(file, error, true);
    ASSERT_TRUE(accounts) << error;
    ASSERT_TRUE(accounts->set("anna", Role::Approver, "correct horse", error)) << error;
    ASSERT_TRUE(accounts->set("bert", Role::Viewer, "battery staple", error)) << error;
    ASSERT_TRUE(accounts->save(file, error)) << error;

    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    std::ifstream in(file);
    const std::string text((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(text.find("correct horse"), std::string::npos);
    EXPECT_NE(text.find("anna:approver:$argon2id$"), std::string::npos) << text;

    const auto read = load();
    ASSERT_TRUE(read) << error;
    EXPECT_EQ(read->verify("anna", "correct horse"), Role::Approver);
    EXPECT_EQ(read->verify("bert", "battery staple"), Role::Viewer);
    EXPECT_FALSE(read->verify("anna", "correct horse "));
    EXPECT_FALSE(read->verify("anna", "battery staple"));
    EXPECT_FALSE(read->verify("carl", "correct horse"));
    EXPECT_FALSE(read->verify("anna", ""));

    // A new password replaces the old one; the file keeps group reading once allowed, and
    // nothing is left beside it.
    ::chmod(file.c_str(), 0640);
    auto changed = *read;
    ASSERT_TRUE(changed.set("anna", Role::Viewer, "new one", error));
    ASSERT_TRUE(changed.save(file, error)) << error;
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(load()->verify("anna", "new one"), Role::Viewer);
    EXPECT_FALSE(load()->verify("anna", "correct horse"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 1);
}

TEST_F(AccountsFile, BadNamesAndPasswordsAreRefused) {
    Accounts accounts;
    for (const char* name : {"", "a:b", "a b", "ä", "../x", "x\n"}) {
        EXPECT_FALSE(accounts.set(name, Role::Viewer, "pw", error)) << name;
    }
    EXPECT_FALSE(accounts.set("anna", Role::Viewer, "", error));
    EXPECT_FALSE(accounts.set("anna", Role::Viewer, std::string(2000, 'x'), error));
    EXPECT_EQ(accounts.size(), 0u);
}

TEST_F(AccountsFile, AFileAnyoneMayWriteOrThatIsNoAccountsFileIsRefused) {
    Accounts good;
    ASSERT_TRUE(good.set("anna", Role::Viewer, "pw", error));
    ASSERT_TRUE(good.save(file, error));
    ASSERT_TRUE(load());

    ::chmod(file.c_str(), 0666);
    EXPECT_FALSE(load());
    EXPECT_NE(error.find("anyone"), std::string::npos) << error;
    ::chmod(file.c_str(), 0600);

    const std::string hash = "$argon2id$v=19$m=65536,t=2,p=1$c2FsdHNhbHRzYWx0$aGFzaGhhc2hoYXNo";
    for (const std::string& hostile :
         {std::string("anna\n"), "anna:root:" + hash + "\n", "an na:viewer:" + hash + "\n",
          std::string("anna:viewer:plaintext\n"), ":viewer:" + hash + "\n",
          "anna:viewer:" + hash + std::string(200, 'A') + "\n"}) {
        write(hostile);
        EXPECT_FALSE(load()) << hostile;
        EXPECT_NE(error.find("line 1"), std::string::npos) << error;
    }
    write("# comment\n\nanna:viewer:" + hash + "\n");
    EXPECT_TRUE(load()) << error;

    // Neither a folder nor a pipe that never ends is read; a missing file is an error unless
    // it is the first --add-user.
    std::filesystem::remove(file);
    EXPECT_FALSE(load());
    EXPECT_TRUE(Accounts::load(file, error, true));
    ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);
    EXPECT_FALSE(load());
    EXPECT_NE(error.find("not a regular file"), std::string::npos) << error;
    std::filesystem::remove(file);
    std::filesystem::create_directory(file);
    EXPECT_FALSE(load());
}

TEST_F(AccountsFile, AFileThatCannotBeWrittenStaysAsItWas) {
    Accounts accounts;
    ASSERT_TRUE(accounts.set("anna", Role::Viewer, "pw", error));
    const auto missingFolder = dir / "gone" / "users";
    EXPECT_FALSE(accounts.save(missingFolder, error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(std::filesystem::exists(missingFolder));
}

}  // namespace
