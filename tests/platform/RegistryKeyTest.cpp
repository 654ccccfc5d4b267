#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/IniFileReplacement.h"
#include "platform/RegistryKey.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TempDir.h"

namespace fs = std::filesystem;

namespace {

std::string Contents(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> FolderEntries(const fs::path& folder) {
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    return names;
}

// Files cannot grow past `bytes` while it lasts, as on a full disk.
class ScopedFileSizeLimit {
public:
    explicit ScopedFileSizeLimit(rlim_t bytes) : m_previousHandler(std::signal(SIGXFSZ, SIG_IGN)) {
        getrlimit(RLIMIT_FSIZE, &m_previous);
        rlimit limited = m_previous;
        limited.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~ScopedFileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &m_previous);
        std::signal(SIGXFSZ, m_previousHandler);
    }
    ScopedFileSizeLimit(const ScopedFileSizeLimit&) = delete;
    ScopedFileSizeLimit& operator=(const ScopedFileSizeLimit&) = delete;

private:
    rlimit m_previous{};
    void (*m_previousHandler)(int);
};

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
    TempDir dir;
    fs::path file = dir.Path() / "vantrel" / "Vantrel.conf";
};

}  // namespace

TEST_F(RegistryKeyTest, MissingKeyCannotBeQueriedButIsCreatedBySetting) {
    EXPECT_FALSE(RegistryKey::Open(file, RegistryAccess::QueryValue));
    EXPECT_FALSE(fs::exists(file.parent_path()));

    ASSERT_TRUE(WriteKey(file, "/data/wx", 3));
    EXPECT_EQ(Contents(file), "[General]\nCom%20Port=3\nDirectory=/data/wx\n");
    EXPECT_EQ(FolderEntries(file.parent_path()), std::vector<std::string>{"Vantrel.conf"});

    const std::optional<RegistryKey> key = RegistryKey::Open(file, RegistryAccess::QueryValue);
    ASSERT_TRUE(key);
    std::string directory;
    std::int32_t port = 0;
    EXPECT_TRUE(key->QueryString("Directory", directory));
    EXPECT_TRUE(key->QueryNumber("Com Port", port));
    EXPECT_EQ(directory, "/data/wx");
    EXPECT_EQ(port, 3);
}

TEST_F(RegistryKeyTest, QueriesFailWithoutTouchingTheValue) {
    fs::create_directories(file.parent_path());
    dir.Write("vantrel/Vantrel.conf",
              "[General]\nA=1,2\nB=abc\nC=3.5\nD=99999999999\nE=-2147483648\nF=@Variant(\\0\\0\\0"
              "\\x2\\0\\0\\0\\x5)\nG=\nH=\"12\"\n");
    const std::optional<RegistryKey> key = RegistryKey::Open(file, RegistryAccess::QueryValue);
    ASSERT_TRUE(key);
    std::int32_t number = 42;
    for (const char* name : {"A", "B", "C", "D", "F", "G", "Missing"}) {
        EXPECT_FALSE(key->QueryNumber(name, number)) << name;
        EXPECT_EQ(number, 42) << name;
    }
    EXPECT_TRUE(key->QueryNumber("E", number));
    EXPECT_EQ(number, INT32_MIN);
    EXPECT_TRUE(key->QueryNumber("H", number));
    EXPECT_EQ(number, 12);

    std::string text = "kept";
    EXPECT_FALSE(key->QueryString("A", text));
    EXPECT_FALSE(key->QueryString("Missing", text));
    EXPECT_EQ(text, "kept");
    EXPECT_TRUE(key->QueryString("G", text));
    EXPECT_EQ(text, "");
}

TEST_F(RegistryKeyTest, TextsRoundTripWholeAndExactly) {
    const std::string awkward = " /home/wx/a,b;c=\"d\"\\e @f #g [h] é ";
    const std::string longFolder = "/" + std::string(300, 'x') + "/PassLists";
    for (const std::string& directory : {awkward, longFolder, std::string()}) {
        ASSERT_TRUE(WriteKey(file, directory, -1));
        const std::optional<RegistryKey> key = RegistryKey::Open(file, RegistryAccess::QueryValue);
        ASSERT_TRUE(key);
        std::string read = "unset";
        std::int32_t port = 0;
        EXPECT_TRUE(key->QueryString("Directory", read));
        EXPECT_TRUE(key->QueryNumber("Com Port", port));
        EXPECT_EQ(read, directory);
        EXPECT_EQ(port, -1);
    }
}

TEST_F(RegistryKeyTest, WriteReplacesTheFileAndKeepsOtherEntries) {
    fs::create_directories(file.parent_path());
    dir.Write("vantrel/Vantrel.conf", "[General]\nCom%20Port=2\nOwn=mine\n\n[Extra]\nkeep=1,2\n");
    struct stat before {};
    ASSERT_EQ(stat(file.c_str(), &before), 0);

    ASSERT_TRUE(WriteKey(file, "/wx", 4));
    struct stat after {};
    ASSERT_EQ(stat(file.c_str(), &after), 0);
    // A new file took the old one's name: the old was never written over.
    EXPECT_NE(after.st_ino, before.st_ino);
    EXPECT_EQ(Contents(file),
              "[General]\nCom%20Port=4\nDirectory=/wx\nOwn=mine\n\n[Extra]\nkeep=1, 2\n");
    EXPECT_EQ(FolderEntries(file.parent_path()), std::vector<std::string>{"Vantrel.conf"});
}

TEST_F(RegistryKeyTest, FullDiskKeepsTheOldFile) {
    ASSERT_TRUE(WriteKey(file, "/old", 1));
    const std::string old = Contents(file);
    {
        const ScopedFileSizeLimit fullDisk(1024);
        EXPECT_FALSE(WriteKey(file, "/" + std::string(3000, 'n'), 2));
    }
    EXPECT_EQ(Contents(file), old);
    EXPECT_EQ(FolderEntries(file.parent_path()), std::vector<std::string>{"Vantrel.conf"});

    const std::optional<RegistryKey> key = RegistryKey::Open(file, RegistryAccess::QueryValue);
    ASSERT_TRUE(key);
    std::string directory;
    EXPECT_TRUE(key->QueryString("Directory", directory));
    EXPECT_EQ(directory, "/old");
}

TEST_F(RegistryKeyTest, QuickSuccessiveWritesAreReadBack) {
    // Two files of equal size written within one clock tick must not pass
    // for each other.
    for (std::int32_t port = 1; port <= 40; ++port) {
        ASSERT_TRUE(WriteKey(file, "/wx", port % 2 + 1));
        const std::optional<RegistryKey> key = RegistryKey::Open(file, RegistryAccess::QueryValue);
        ASSERT_TRUE(key);
        std::int32_t read = 0;
        EXPECT_TRUE(key->QueryNumber("Com Port", read));
        ASSERT_EQ(read, port % 2 + 1) << "write " << port;
    }
}

TEST_F(RegistryKeyTest, PathsThatCannotHoldTheKeyFail) {
    // A folder where the file should be.
    fs::create_directories(file);
    EXPECT_FALSE(RegistryKey::Open(file, RegistryAccess::QueryValue));
    EXPECT_FALSE(RegistryKey::Open(file, RegistryAccess::SetValue));
    // A file where the folder should be.
    const fs::path blocked = dir.Write("blocked", "") / "Vantrel.conf";
    EXPECT_FALSE(WriteKey(blocked, "/wx", 1));
}

TEST_F(RegistryKeyTest, LinkedKeyFileIsReplacedWhereItLives) {
    ASSERT_TRUE(WriteKey(dir.Path() / "real.conf", "/old", 1));
    fs::create_directories(file.parent_path());
    fs::create_symlink(dir.Path() / "real.conf", file);
    ASSERT_TRUE(WriteKey(file, "/new", 2));
    EXPECT_TRUE(fs::is_symlink(file));
    EXPECT_NE(Contents(dir.Path() / "real.conf").find("Directory=/new"), std::string::npos);
}

TEST(VantrelKeyFile, FollowsXdgConfigHome) {
    const ScopedEnvironmentVariable home("HOME", "/home/wx");
    {
        const ScopedEnvironmentVariable config("XDG_CONFIG_HOME", "/etc/xdg-wx");
        EXPECT_EQ(VantrelKeyFile(), fs::path("/etc/xdg-wx/vantrel/Vantrel.conf"));
    }
    for (const std::optional<std::string>& ignored :
         {std::optional<std::string>(), std::optional<std::string>(""),
          std::optional<std::string>("relative/config")}) {
        const ScopedEnvironmentVariable config("XDG_CONFIG_HOME", ignored);
        EXPECT_EQ(VantrelKeyFile(), fs::path("/home/wx/.config/vantrel/Vantrel.conf"));
    }
}

TEST(KeepModificationTimeAhead, ReplacementIsLaterInMilliseconds) {
    const TempDir dir;
    const fs::path old = dir.Write("old", "same");
    const fs::path replacement = dir.Write("new", "size");
    const auto setTime = [](const fs::path& file, time_t seconds, long nanoseconds) {
        const timespec times[2] = {{0, UTIME_OMIT}, {seconds, nanoseconds}};
        ASSERT_EQ(utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
    };
    const auto modified = [](const fs::path& file) {
        struct stat status {};
        stat(file.c_str(), &status);
        return status.st_mtim;
    };

    // Within the same millisecond: moved to the next one.
    setTime(old, 1'000'000'000, 500'100'000);
    setTime(replacement, 1'000'000'000, 500'900'000);
    KeepModificationTimeAhead(replacement, old);
    EXPECT_EQ(modified(replacement).tv_sec, 1'000'000'000);
    EXPECT_EQ(modified(replacement).tv_nsec, 501'000'000);

    // Earlier, across a second: moved past the old file.
    setTime(old, 1'000'000'001, 999'500'000);
    setTime(replacement, 1'000'000'000, 0);
    KeepModificationTimeAhead(replacement, old);
    EXPECT_EQ(modified(replacement).tv_sec, 1'000'000'002);
    EXPECT_EQ(modified(replacement).tv_nsec, 0);

    // Already later: left alone.
    setTime(replacement, 1'000'000'005, 123);
    KeepModificationTimeAhead(replacement, old);
    EXPECT_EQ(modified(replacement).tv_nsec, 123);
}
