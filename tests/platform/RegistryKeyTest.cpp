#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>

#include "platform/registry/IniFileReplacement.h"
#include "platform/registry/RegistryKey.h"
#include "tests/support/TempDir.h"

namespace fs = std::filesystem;

namespace {

bool WriteKey(const fs::path& file, const std::string& directory, std::int32_t port) {
    std::optional<RegistryKey> key = RegistryKey::Open(file, RegistryAccess::SetValue);
    if (!key) {
        return false;
    }
    key->SetString("Directory", directory);
    key->SetNumber("Com Port", port);
    return key->Close();
}

class RegistryKeyTest : public ::testing::Test {
protected:
    std::size_t FilesInFolder() const {
        return static_cast<std::size_t>(
            std::distance(fs::directory_iterator(file.parent_path()), fs::directory_iterator()));
    }

    TempDir dir;
    fs::path file = dir.Path() / "vantrel" / "Vantrel.conf";
};

}  // namespace

TEST_F(RegistryKeyTest, SettingCreatesTheKeyAndQueriesReadItBack) {
    EXPECT_FALSE(RegistryKey::Open(file, RegistryAccess::QueryValue));
    const std::string folder = " /wx/a,b;c=\"d\"\\e @f é/" + std::string(300, 'x');
    ASSERT_TRUE(WriteKey(file, folder, -7));

    const std::optional<RegistryKey> key = RegistryKey::Open(file, RegistryAccess::QueryValue);
    ASSERT_TRUE(key);
    std::string text;
    std::int32_t number = 0;
    EXPECT_TRUE(key->QueryString("Directory", text) && key->QueryNumber("Com Port", number));
    EXPECT_EQ(text, folder);
    EXPECT_EQ(number, -7);
}

TEST_F(RegistryKeyTest, WriteReplacesTheWholeFileKeepingOtherEntries) {
    const std::string old = "[General]\nCom%20Port=2\nOwn=mine\n\n[Extra]\nkeep=1,2\n";
    dir.Write("vantrel/Vantrel.conf", old);
    fs::create_hard_link(file, dir.Path() / "witness");
    ASSERT_TRUE(WriteKey(file, "/wx", 4));
    // A new file took the name: the old one was never written over.
    EXPECT_EQ(FileContents(dir.Path() / "witness"), old);
    EXPECT_EQ(FileContents(file),
              "[General]\nCom%20Port=4\nDirectory=/wx\nOwn=mine\n\n[Extra]\nkeep=1, 2\n");
    EXPECT_EQ(FilesInFolder(), 1u);

    // A linked file is replaced where it lives.
    fs::rename(file, dir.Path() / "real.conf");
    fs::create_symlink(dir.Path() / "real.conf", file);
    ASSERT_TRUE(WriteKey(file, "/linked", 1));
    EXPECT_TRUE(fs::is_symlink(file));
    EXPECT_NE(FileContents(dir.Path() / "real.conf").find("Directory=/linked\n"),
              std::string::npos);
}

TEST_F(RegistryKeyTest, FullDiskKeepsTheOldFile) {
    ASSERT_TRUE(WriteKey(file, "/old", 1));
    const std::string old = FileContents(file);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit previous{};
    getrlimit(RLIMIT_FSIZE, &previous);
    const rlimit full{1024, previous.rlim_max};
    setrlimit(RLIMIT_FSIZE, &full);
    const bool written = WriteKey(file, "/" + std::string(3000, 'n'), 2);
    setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_FALSE(written);
    EXPECT_EQ(FileContents(file), old);
    EXPECT_EQ(FilesInFolder(), 1u);
}

TEST(KeepModificationTimeAhead, ReplacementIsLaterInMilliseconds) {
    const TempDir dir;
    const fs::path old = dir.Write("old", "");
    const fs::path replacement = dir.Write("new", "");
    const auto touchAndKeepAhead = [&](long oldNanoseconds, long newNanoseconds) {
        const timespec oldTimes[2] = {{0, UTIME_OMIT}, {1'000'000'000, oldNanoseconds}};
        const timespec newTimes[2] = {{0, UTIME_OMIT}, {1'000'000'000, newNanoseconds}};
        utimensat(AT_FDCWD, old.c_str(), oldTimes, 0);
        utimensat(AT_FDCWD, replacement.c_str(), newTimes, 0);
        KeepModificationTimeAhead(replacement, old);
        struct stat status {};
        stat(replacement.c_str(), &status);
        return status.st_mtim.tv_nsec;
    };
    EXPECT_EQ(touchAndKeepAhead(500'100'000, 500'900'000), 501'000'000);
    EXPECT_EQ(touchAndKeepAhead(500'100'000, 600'000'123), 600'000'123);
}
