#include "tools/vantrel-check/PortDoctor.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <ostream>
#include <string>
#include <system_error>

#include "app/CommandLine.h"
#include "app/SerialPortError.h"
#include "platform/kernel/DeviceMap.h"
#include "serial/CommDevice.h"

namespace {

namespace fs = std::filesystem;

std::string PortName(int port) {
    return "COM" + std::to_string(port);
}

// "COM1 is …" and how the device map got there.
std::string DescribeMapping(int port, const std::string& device) {
    const fs::path link = ComPortLinkPath(port);
    std::string text = PortName(port) + " is " + device;
    if (device != link.string()) {
        return link.empty() ? text : text + " (there is no link " + link.string() + ")";
    }
    std::error_code error;
    if (!fs::is_symlink(fs::symlink_status(link, error))) {
        return text + " (an entry of dosdevices that is no link)";
    }
    const fs::path target = fs::read_symlink(link, error);
    text += ", a link to " + target.string();
    // Links by id lead on to the device's own name (/dev/ttyUSB0).
    const fs::path resolved = fs::canonical(link, error);
    return error || resolved == target ? text : text + " (" + resolved.string() + ")";
}

std::string MissingDeviceRemedy(int port, const std::string& device) {
    const fs::path link = ComPortLinkPath(port);
    if (device == link.string()) {
        std::error_code error;
        return "the link points to " + fs::read_symlink(link, error).string() +
               ", which does not exist: plug the adapter in, or point the link at its device "
               "(ls -l /dev/serial/by-id/)";
    }
    if (link.empty()) {
        return device + " does not exist";
    }
    return device + " does not exist: for a USB adapter, link its device with `mkdir -p " +
           link.parent_path().string() + " && ln -sf /dev/serial/by-id/YOUR-ADAPTER " +
           link.string() + "`";
}

// The file a link leads to, named as the system names it.
std::string ResolvedName(const std::string& device) {
    std::error_code error;
    const fs::path resolved = fs::canonical(device, error);
    return error ? device : resolved.string();
}

std::string KindOf(mode_t mode) {
    if (S_ISREG(mode)) {
        return "a regular file";
    }
    if (S_ISDIR(mode)) {
        return "a folder";
    }
    if (S_ISBLK(mode)) {
        return "a block device";
    }
    if (S_ISFIFO(mode)) {
        return "a pipe";
    }
    return S_ISSOCK(mode) ? "a socket" : "a character device of another kind";
}

class Findings {
public:
    Findings(int port, std::ostream& out, std::ostream& err)
        : m_port(port), m_out(out), m_err(err) {}

    void Say(const std::string& line) { m_out << line << '\n'; }

    int CannotOpen(const std::string& reason) {
        m_out << std::flush;
        m_err << "vantrel-check: Vantrel cannot open " << PortName(m_port) << ": " << reason
              << std::endl;
        return kExitFailure;
    }

    int CanOpen() {
        m_out << "Vantrel can open " << PortName(m_port) << ".\n" << std::flush;
        return kExitSuccess;
    }

private:
    const int m_port;
    std::ostream& m_out;
    std::ostream& m_err;
};

}  // namespace

int CheckPort(int port, std::ostream& out, std::ostream& err) {
    const std::string device = ComPortDevicePath(port);
    Findings findings(port, out, err);
    findings.Say(DescribeMapping(port, device));

    struct stat status {};
    if (::stat(device.c_str(), &status) != 0) {
        const int error = errno;
        findings.Say("exists: no");
        return findings.CannotOpen(error == ENOENT ? MissingDeviceRemedy(port, device)
                                                   : device + ": " + std::strerror(error));
    }
    findings.Say("exists: yes");
    if (!S_ISCHR(status.st_mode)) {
        findings.Say("terminal device: no, " + KindOf(status.st_mode));
        return findings.CannotOpen(ResolvedName(device) + " is " + KindOf(status.st_mode) +
                                   ", not the receiver's serial device");
    }
    const DeviceAccess access = CheckDeviceAccess(device);
    findings.Say(std::string("you may read and write it: ") + (access.allowed ? "yes" : "no"));
    if (!access.allowed) {
        return findings.CannotOpen(access.problem);
    }

    // Taken as a run takes it, and given back at once.
    if (CommDevice::OpenExclusive(device) != nullptr) {
        findings.Say("terminal device: yes");
        findings.Say("held by another program: no");
        return findings.CanOpen();
    }
    const int error = errno;
    if (error == ENOTTY) {
        findings.Say("terminal device: no, " + KindOf(status.st_mode));
        return findings.CannotOpen(ResolvedName(device) +
                                   " is no terminal, so not the receiver's serial device");
    }
    if (error == EACCES) {
        // Only terminals have an exclusive mode to refuse us with.
        findings.Say("terminal device: yes");
        findings.Say("held by another program: yes");
        return findings.CannotOpen(AccessDeniedReason(device) + ": end it first (`fuser -v " +
                                   device + "` names it)");
    }
    return findings.CannotOpen(device + ": " + std::strerror(error));
}
