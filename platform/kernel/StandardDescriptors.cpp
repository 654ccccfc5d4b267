#include "platform/kernel/StandardDescriptors.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

bool OpenMissingStandardDescriptors() {
    for (int standard = STDIN_FILENO; standard <= STDERR_FILENO; ++standard) {
        if (::fcntl(standard, F_GETFD) != -1 || errno != EBADF) {
            continue;
        }
        // open() takes the lowest free number, which is this one.
        const int opened = ::open("/dev/null", O_RDWR);
        if (opened != standard) {
            if (opened >= 0) {
                ::close(opened);
            }
            return false;
        }
    }
    return true;
}
