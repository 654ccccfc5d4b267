#include <gtest/gtest.h>

#include <filesystem>

#include "platform/kernel/DeviceMap.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TempDir.h"

TEST(DeviceMap, UsesTheLinkUnderTheConfigFolderWhenItsEntryExists) {
    const TempDir home;
    // A COM2 link under $XDG_CONFIG_HOME and one under ~/.config, told apart.
    const auto linkFolder = [&home](const std::string& configHome) {
        const std::filesystem::path folder = home.Path() / configHome / "vantrel" / "dosdevices";
        std::filesystem::create_directories(folder);
        std::filesystem::create_symlink("/dev/null", folder / "com2");
        return folder;
    };
    const std::filesystem::path xdgFolder = linkFolder("xdg");
    const std::filesystem::path homeFolder = linkFolder(".config");
    // A link to nothing still names the port, so opening reports it missing.
    std::filesystem::create_symlink(home.Path() / "gone", xdgFolder / "com3");
    const ScopedEnvironmentVariable homeVariable("HOME", home.Path().string());
    {
        const ScopedEnvironmentVariable xdg("XDG_CONFIG_HOME", (home.Path() / "xdg").string());
        EXPECT_EQ(ComPortDevicePath(2), (xdgFolder / "com2").string());
        EXPECT_EQ(ComPortDevicePath(3), (xdgFolder / "com3").string());
        EXPECT_EQ(ComPortDevicePath(4), "/dev/ttyS3");
        EXPECT_EQ(ComPortLinkPath(4), xdgFolder / "com4");
    }
    // Without a usable config variable the home folder's is used.
    for (const std::optional<std::string>& xdg : {std::optional<std::string>(), {"relative"}}) {
        const ScopedEnvironmentVariable variable("XDG_CONFIG_HOME", xdg);
        EXPECT_EQ(ComPortDevicePath(2), (homeFolder / "com2").string());
    }
}
