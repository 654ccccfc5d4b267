#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "serial/CommDevice.h"
#include "tests/serial/FakeReceiverLine.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TempDir.h"
#include "tests/tools/CheckRun.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class PortDoctorTest : public ::testing::Test {
protected:
    fs::path Links() const { return config / "vantrel" / "dosdevices"; }
    fs::path Link(int port) const { return Links() / ("com" + std::to_string(port)); }
    void LinkPort(int port, const fs::path& target) const {
        fs::create_directories(Links());
        fs::create_symlink(target, Link(port));
    }

    TempDir dir;
    fs::path config = dir.Path() / "config";
    ScopedEnvironmentVariable configHome{"XDG_CONFIG_HOME", config.string()};
};

}  // namespace

TEST_F(PortDoctorTest, ATerminalNobodyHoldsIsOpenableAndStaysFree) {
    const FakeReceiverLine line(config);
    const auto openable = [&](int port) {
        const std::string com = "COM" + std::to_string(port);
        return CheckRun{0,
                        com + " is " + Link(port).string() + ", a link to " + line.Path() +
                            "\nexists: yes\nyou may read and write it: yes\nterminal device: yes\n"
                            "held by another program: no\nVantrel can open " +
                            com + ".\n",
                        ""};
    };
    EXPECT_EQ(Check({"port", "1"}), openable(1));
    // The check gave the port back: Vantrel can take it.
    EXPECT_NE(CommDevice::OpenExclusive(line.Path()), nullptr);

    // Without N, the saved port.
    LinkPort(3, line.Path());
    dir.Write("config/vantrel/Vantrel.conf", "[General]\nCom%20Port=3\n");
    EXPECT_EQ(Check({"port"}), openable(3));
}

TEST_F(PortDoctorTest, SaysWhyAPortWillNotOpen) {
    const FakeReceiverLine line(config);
    const fs::path file = dir.Write("receiver.txt", "");
    LinkPort(2, dir.Path() / "unplugged");
    LinkPort(3, file);
    LinkPort(4, "/dev/null");
    const std::string fileIs = "COM3 is " + Link(3).string() + ", a link to " + file.string();
    // Held as Vantrel holds it: a lock of its own and the terminal's exclusive mode.
    const std::shared_ptr<CommDevice> holder = CommDevice::OpenExclusive(line.Path());
    ASSERT_NE(holder, nullptr);

    const std::vector<std::tuple<std::string_view, std::string, std::string>> cases{
        {"2",
         "COM2 is " + Link(2).string() + ", a link to " + (dir.Path() / "unplugged").string() +
             "\nexists: no\n",
         "COM2: the link points to " + (dir.Path() / "unplugged").string() +
             ", which does not exist: plug the adapter in"},
        {"3", fileIs + "\nexists: yes\nterminal device: no, a regular file\n",
         "COM3: " + file.string() + " is a regular file, not the receiver's serial device\n"},
        {"4",
         "COM4 is " + Link(4).string() +
             ", a link to /dev/null\nexists: yes\nyou may read and write it: yes\n"
             "terminal device: no, a character device of another kind\n",
         "COM4: /dev/null is no terminal, so not the receiver's serial device\n"},
        {"1",
         "COM1 is " + Link(1).string() + ", a link to " + line.Path() +
             "\nexists: yes\nyou may read and write it: yes\nterminal device: yes\n"
             "held by another program: yes\n",
         "COM1: another program holds it: end it first (`fuser -v " + Link(1).string() +
             "` names it)\n"},
    };
    for (const auto& [port, out, reason] : cases) {
        const auto [status, shown, errors] = Check({"port", port});
        EXPECT_EQ(status, 1) << port;
        EXPECT_EQ(shown, out);
        EXPECT_EQ(errors.rfind("vantrel-check: Vantrel cannot open " + reason, 0), 0u) << errors;
    }

    // Without a link the built-in port, whatever this machine has there.
    fs::remove(Link(3));
    const std::string builtIn = std::get<1>(Check({"port", "3"}));
    EXPECT_EQ(builtIn.substr(0, builtIn.find('\n')),
              "COM3 is /dev/ttyS2 (there is no link " + Link(3).string() + ")");

    dir.Write("config/vantrel/Vantrel.conf", "[General]\nCom%20Port=0\n");
    EXPECT_EQ(Check({"port"}),
              (CheckRun{1, "",
                        "vantrel-check: the settings name COM0, which is no port: choose one in "
                        "Settings > Com Port and save it\n"}));
}

// As a user outside the device's group, which root (who runs CI) never is:
// the port doctor and Vantrel itself both say which group is missing and
// how to join it.
TEST_F(PortDoctorTest, AUserOutsideTheDevicesGroupIsToldToJoinIt) {
    const group* const dialout = ::getgrnam("dialout");
    if (::geteuid() != 0 || dialout == nullptr || !fs::exists("/usr/bin/setpriv")) {
        GTEST_SKIP() << "needs root, the group dialout and setpriv to play a user outside it";
    }
    const FakeReceiverLine line(config);
    ASSERT_EQ(::chown(line.Path().c_str(), 0, dialout->gr_gid), 0);
    // The user must reach the link and the programs, wherever the build is
    // and whatever the umask.
    constexpr fs::perms kReachable = fs::perms::owner_all | fs::perms::group_read |
                                     fs::perms::group_exec | fs::perms::others_read |
                                     fs::perms::others_exec;
    for (fs::path folder = Links(); folder != dir.Path().parent_path();
         folder = folder.parent_path()) {
        fs::permissions(folder, kReachable);
    }
    const auto copy = [this](const fs::path& program) {
        const fs::path copied = dir.Path() / program.filename();
        fs::copy_file(program, copied);
        fs::permissions(copied, kReachable);
        return copied.string();
    };
    const std::string check = copy(VANTREL_CHECK_PATH);
    const std::string join =
        "only members of the group dialout may open it, and you are not one: add yourself with "
        "`sudo adduser $USER dialout`, then log in again\n";
    const std::string cannot = "vantrel-check: Vantrel cannot open COM1: ";

    struct Run {
        std::string program;
        std::string task;
        mode_t mode;
        std::string error;
    };
    std::vector<Run> runs{
        {check, "port", 0660, cannot + join},
        // Reading alone is not enough.
        {check, "port", 0664, cannot + join},
        {check, "port", 0600,
         cannot + "its permissions (crw-------, owner root, group dialout) do not let you read "
                  "and write it\n"},
    };
#ifdef VANTREL_PATH
    runs.push_back(
        {copy(VANTREL_PATH), "--headless", 0660,
         "vantrel: Serial port COM1 (" + Link(1).string() + "): Permission denied: " + join});
#endif
    for (const Run& run : runs) {
        ASSERT_EQ(::chmod(line.Path().c_str(), run.mode), 0);
        ChildProcess program({"/usr/bin/setpriv", "--reuid=nobody", "--regid=nogroup",
                              "--clear-groups", run.program, run.task});
        EXPECT_EQ(program.Wait(20s), 1) << run.program;
        EXPECT_NE(program.Errors().find(run.error), std::string::npos) << program.Errors();
    }
}
