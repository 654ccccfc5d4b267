#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <functional>
#include <span>

#include "platform/registry/IniFileReplacement.h"
#include "platform/registry/RegistryKey.h"
#include "tests/serial/ForkedChild.h"
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

std::string Query(const fs::path& file, std::string_view name) {
    const std::optional<RegistryKey> key = RegistryKey::Open(file, RegistryAccess::QueryValue);
    std::string text = "not read";
    EXPECT_TRUE(key && key->QueryString(name, text)) << name;
    return text;
}

std::optional<std::int32_t> ComPort(const fs::path& file) {
    const std::optional<RegistryKey> key = RegistryKey::Open(file, RegistryAccess::QueryValue);
    std::int32_t number = 0;
    return key && key->QueryNumber("Com Port", number) ? std::optional(number) : std::nullopt;
}

mode_t Mode(const fs::path& file) {
    struct stat status {};
    stat(file.c_str(), &status);
    return status.st_mode & 07777;
}

// 0 when `write` succeeds in a child process that runs as `user`, 1 when
// it fails, 2 when the child could not become that user.
int WriteAs(const passwd& user, const std::function<bool()>& write) {
    ForkedChild child([&] { return BecomeOrdinaryUser(user) ? (write() ? 0 : 1) : 2; });
    return child.Wait();
}

// Flushes and renames as the disk does, noting each step.
class WatchedDisk : public DiskCommit {
public:
    struct Step {
        std::string what;
        fs::path path;
        // A flushed file's contents; a rename's new name.
        std::string detail;
        bool operator==(const Step&) const = default;
    };

    bool Flush(const fs::path& path) override {
        steps.push_back({"flush", path, fs::is_regular_file(path) ? FileContents(path) : ""});
        return !flushFails && DiskCommit::Flush(path);
    }
    bool Rename(const fs::path& from, const fs::path& to) override {
        steps.push_back({"rename", from, to.string()});
        return DiskCommit::Rename(from, to);
    }

    std::vector<Step> steps;
    bool flushFails = false;
};

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
    const std::string padding = "Aaa=" + std::string(100, 'a') + "\n";
    const std::string old =
        "[General]\n" + padding + "Com%20Port=1\nZone=" + std::string(2000, 'z') + "\n";
    // Cut inside a value, and after a whole line so that an entry is lost.
    const std::vector<std::pair<std::string, rlim_t>> cases{
        {"/" + std::string(3000, 'n'), 1024},
        {"/new", std::string("[General]\n" + padding + "Com%20Port=2\nDirectory=/new\n").size()},
    };
    for (const auto& [folder, limit] : cases) {
        dir.Write("vantrel/Vantrel.conf", old);
        const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit previous{};
        getrlimit(RLIMIT_FSIZE, &previous);
        const rlimit full{limit, previous.rlim_max};
        setrlimit(RLIMIT_FSIZE, &full);
        const bool written = WriteKey(file, folder, 2);
        setrlimit(RLIMIT_FSIZE, &previous);
        std::signal(SIGXFSZ, previousHandler);

        EXPECT_FALSE(written) << limit;
        EXPECT_EQ(FileContents(file), old);
        EXPECT_EQ(FilesInFolder(), 1u);
    }
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

TEST_F(RegistryKeyTest, TheNewFileReachesTheDiskBeforeItReplacesTheOldOne) {
    dir.Write("vantrel/Vantrel.conf", "[General]\nOwn=mine\n");
    const fs::path target = fs::canonical(file);
    WatchedDisk disk;
    ASSERT_TRUE(ReplaceIniFile(file, {{"Directory", "/wx"}}, disk));
    const std::string written = FileContents(file);
    EXPECT_EQ(written, "[General]\nDirectory=/wx\nOwn=mine\n");
    // Written and checked under scratch names, flushed whole, put in place,
    // and the folder flushed to keep the new name.
    ASSERT_EQ(disk.steps.size(), 4u);
    const fs::path checked = disk.steps[0].detail;
    EXPECT_EQ(checked.parent_path(), target.parent_path());
    EXPECT_EQ(disk.steps[1], (WatchedDisk::Step{"flush", checked, written}));
    EXPECT_EQ(disk.steps[2], (WatchedDisk::Step{"rename", checked, target.string()}));
    EXPECT_EQ(disk.steps[3], (WatchedDisk::Step{"flush", target.parent_path(), ""}));

    WatchedDisk failing;
    failing.flushFails = true;
    EXPECT_FALSE(ReplaceIniFile(file, {{"Directory", "/lost"}}, failing));
    EXPECT_EQ(failing.steps.size(), 2u);
    EXPECT_EQ(FileContents(file), written);
    EXPECT_EQ(FilesInFolder(), 1u);
}

// Root writes whatever it likes, and CI runs as root: the suite runs as
// nobody too, and the file of another user is tried as nobody here.
TEST_F(RegistryKeyTest, AReadOnlyFileStaysAndAReplacedOneKeepsItsPermissions) {
    ASSERT_TRUE(WriteKey(file, "/old", 1));
    const std::string old = FileContents(file);
    for (const mode_t mode : {0640, 0604}) {
        ASSERT_EQ(chmod(file.c_str(), mode), 0);
        EXPECT_TRUE(WriteKey(file, "/new", static_cast<std::int32_t>(mode))) << mode;
        EXPECT_EQ(Mode(file), mode);
        EXPECT_EQ(Query(file, "Com Port"), std::to_string(mode));
    }
    ASSERT_TRUE(WriteKey(file, "/old", 1));
    for (const mode_t mode : {0444, 0464}) {
        ASSERT_EQ(chmod(file.c_str(), mode), 0);
        EXPECT_FALSE(WriteKey(file, "/new", 2)) << mode;
        EXPECT_EQ(Mode(file), mode);
        EXPECT_EQ(FileContents(file), old);
        EXPECT_EQ(FilesInFolder(), 1u);
    }
}

TEST_F(RegistryKeyTest, AnotherUsersFileKeepsItsOwnerOrIsRefused) {
    const passwd* const nobody = getpwnam("nobody");
    if (geteuid() != 0 || nobody == nullptr) {
        GTEST_SKIP() << "needs root and the user nobody";
    }
    ASSERT_TRUE(WriteKey(file, "/old", 1));
    const std::string old = FileContents(file);
    ASSERT_EQ(chown(file.parent_path().c_str(), nobody->pw_uid, nobody->pw_gid), 0);
    ASSERT_EQ(chmod(dir.Path().c_str(), 0755), 0);
    ASSERT_EQ(chmod(file.c_str(), 0644), 0);
    // nobody may read root's file and replace files in the folder, but must
    // not replace that file.
    EXPECT_EQ(WriteAs(*nobody, [this] { return WriteKey(file, "/new", 2); }), 1);
    EXPECT_EQ(FileContents(file), old);
    EXPECT_EQ(FilesInFolder(), 1u);

    ASSERT_EQ(chown(file.c_str(), nobody->pw_uid, nobody->pw_gid), 0);
    ASSERT_TRUE(WriteKey(file, "/by root", 2));
    struct stat status {};
    ASSERT_EQ(stat(file.c_str(), &status), 0);
    EXPECT_EQ(status.st_uid, nobody->pw_uid);
    EXPECT_EQ(status.st_gid, nobody->pw_gid);
    EXPECT_EQ(WriteAs(*nobody, [this] { return WriteKey(file, "/by nobody", 3); }), 0);
    EXPECT_EQ(Query(file, "Directory"), "/by nobody");
}

TEST_F(RegistryKeyTest, SettingCreatesTheKeyAndEveryByteWrittenOrFoundInTheFileReadsBack) {
    EXPECT_FALSE(RegistryKey::Open(file, RegistryAccess::QueryValue));
    fs::create_directories(file);  // nor is a folder in its place a key
    EXPECT_FALSE(RegistryKey::Open(file, RegistryAccess::QueryValue));
    fs::remove(file);
    const std::vector<std::string> names{
        " /wx/a,b;c=\"d\"\\e @f/" + std::string(300, 'x'),  // INI syntax, over 255
        "/wx/\xc3\xa9t\xc3\xa9 \xf0\x9f\x93\xa1",           // UTF-8, two and four bytes
        "/srv/caf\xe9",                                     // Latin-1
        "/caf\xe9"
        "12ab/x",             // hex digits after a stray byte
        "/\x80\xbf",          // continuation bytes alone
        "/\xc0\xaf",          // an overlong slash
        "/\xed\xa0\x80",      // a surrogate
        "/\xf4\x90\x80\x80",  // past U+10FFFF
        "/end\xe2\x82",       // a sequence cut short
    };
    for (const std::string& name : names) {
        ASSERT_TRUE(WriteKey(file, name, -7)) << name;
        EXPECT_EQ(Query(file, "Directory"), name);
    }
    EXPECT_EQ(ComPort(file), -7);
    // UTF-8 stays readable text in the file.
    ASSERT_TRUE(WriteKey(file, names[1], 1));
    EXPECT_NE(FileContents(file).find("\nDirectory=" + names[1] + "\n"), std::string::npos);

    // As another program may write them (the first needs the file's quoting).
    for (const std::string& name : std::span(names).subspan(1)) {
        dir.Write("vantrel/Vantrel.conf", "[General]\nCom%20Port=010\nDirectory=" + name +
                                              "\nQuoted=\"a,\xe9"
                                              "b\"\n");
        EXPECT_EQ(Query(file, "Directory"), name);
        EXPECT_EQ(Query(file, "Quoted"),
                  "a,\xe9"
                  "b");
        EXPECT_EQ(ComPort(file), 10);  // decimal, whatever its leading zeros
    }
}
