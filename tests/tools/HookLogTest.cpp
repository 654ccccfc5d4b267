#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>

#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TempDir.h"
#include "tools/vantrel-hook-keeper/HookLog.h"

namespace {

// 2002-05-19 14:30:00 UTC, 18:30:00 in the test's zone.
constexpr std::time_t kAt1830 = 1021818600;

mode_t Permissions(const std::filesystem::path& path) {
    struct stat status {};
    ::stat(path.c_str(), &status);
    return status.st_mode & 07777;
}

}  // namespace

TEST(HookLogTest, EachLineIsStampedInLocalTimeAndALineThatNeverEndsIsCut) {
    const ScopedTimeZone tz("<+04>-4");
    const TempDir dir;
    const std::filesystem::path file = dir.Path() / "state" / "vantrel" / "hooks.log";
    HookLog log(file, "NOAA 19", [] { return kAt1830; });
    log.Take("one\ntw");
    log.Take("o\n\nthree");
    log.Take(std::string(5000, 'x'));
    log.Finish();
    log.Finish();

    const std::string stamp = "2002-05-19 18:30:00 <NOAA 19> ";
    EXPECT_EQ(FileContents(file), stamp + "one\n" + stamp + "two\n" + stamp + "\n" + stamp +
                                      "three" + std::string(HookLog::kLongestLine - 5, 'x') + "\n" +
                                      stamp + std::string(5005 - HookLog::kLongestLine, 'x') +
                                      "\n");
    // State folders are private, as the XDG rules ask.
    EXPECT_EQ(Permissions(dir.Path() / "state"), 0700u);
    EXPECT_EQ(Permissions(dir.Path() / "state" / "vantrel"), 0700u);
}
