#include <gtest/gtest.h>

#include <filesystem>

#include "platform/kernel/DeviceMap.h"
#include "platform/kernel/ErrorText.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TempDir.h"

TEST(DeviceMap, UsesTheLinkUnderTheConfigFolderWhenItsEntryExists) {
    const TempDir config;
    const ScopedEnvironmentVariable xdg("XDG_CONFIG_HOME", config.Path().string());
    const std::filesystem::path folder = config.Path() / "vantrel" / "dosdevices";
    std::filesystem::create_directories(folder);
    std::filesystem::create_symlink("/dev/null", folder / "com2");
    // A link to nothing still names the port, so opening reports it missing.
    std::filesystem::create_symlink(config.Path() / "gone", folder / "com3");

    EXPECT_EQ(ComPortDevicePath(2), (folder / "com2").string());
    EXPECT_EQ(ComPortDevicePath(3), (folder / "com3").string());
    EXPECT_EQ(ComPortDevicePath(1), "/dev/ttyS0");
    EXPECT_EQ(ComPortDevicePath(4), "/dev/ttyS3");
}

TEST(DeviceMap, FallsBackToTheHomeFolderWithoutAUsableConfigVariable) {
    const TempDir home;
    const std::filesystem::path folder = home.Path() / ".config" / "vantrel" / "dosdevices";
    std::filesystem::create_directories(folder);
    std::filesystem::create_symlink("/dev/null", folder / "com1");
    const ScopedEnvironmentVariable homeVariable("HOME", home.Path().string());
    {
        const ScopedEnvironmentVariable xdg("XDG_CONFIG_HOME", std::nullopt);
        EXPECT_EQ(ComPortDevicePath(1), (folder / "com1").string());
    }
    {
        const ScopedEnvironmentVariable xdg("XDG_CONFIG_HOME", "relative/config");
        EXPECT_EQ(ComPortDevicePath(1), (folder / "com1").string());
    }
    const ScopedEnvironmentVariable noHome("HOME", std::nullopt);
    const ScopedEnvironmentVariable xdg("XDG_CONFIG_HOME", std::nullopt);
    EXPECT_EQ(ComPortDevicePath(1), "/dev/ttyS0");
}

TEST(ErrorText, GivesTheSystemTextOrNothing) {
    std::string text = "stale";
    EXPECT_TRUE(SystemErrorText(ENOENT, text));
    EXPECT_EQ(text, "No such file or directory");
    EXPECT_TRUE(SystemErrorText(ERROR_IO_PENDING, text));
    EXPECT_EQ(text, "Overlapped I/O operation is in progress");
    EXPECT_TRUE(SystemErrorText(ERROR_CALL_NOT_IMPLEMENTED, text));
    EXPECT_EQ(text, "This function is not supported on this system");
    EXPECT_FALSE(SystemErrorText(54321, text));
    EXPECT_EQ(text, "");
}
