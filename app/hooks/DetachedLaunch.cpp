#include "app/hooks/DetachedLaunch.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <unistd.h>

#include <cerrno>

namespace {

constexpr int kPassedDescriptor = 3;

// Zero-terminated pointers into `texts`, which must outlive them.
std::vector<char*> Pointers(const std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    for (const std::string& text : texts) {
        pointers.push_back(const_cast<char*>(text.c_str()));
    }
    pointers.push_back(nullptr);
    return pointers;
}

// One of posix_spawn's records, destroyed with its owner.
template <class Record, int (*Init)(Record*), int (*Destroy)(Record*)>
class SpawnRecord {
public:
    SpawnRecord() { Init(&m_record); }
    ~SpawnRecord() { Destroy(&m_record); }
    SpawnRecord(const SpawnRecord&) = delete;
    SpawnRecord& operator=(const SpawnRecord&) = delete;
    Record* Get() { return &m_record; }

private:
    Record m_record{};
};

using SpawnActions = SpawnRecord<posix_spawn_file_actions_t, posix_spawn_file_actions_init,
                                 posix_spawn_file_actions_destroy>;
using SpawnAttributes =
    SpawnRecord<posix_spawnattr_t, posix_spawnattr_init, posix_spawnattr_destroy>;

}  // namespace

pid_t LaunchDetached(const std::vector<std::string>& arguments,
                     const std::vector<std::string>& environment, int passed) {
    SpawnActions actions;
    // First, in case `passed` is one of the standard descriptors; a dup2 onto
    // itself clears its close-on-exec flag too.
    posix_spawn_file_actions_adddup2(actions.Get(), passed, kPassedDescriptor);
    posix_spawn_file_actions_addopen(actions.Get(), STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(actions.Get(), STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addclosefrom_np(actions.Get(), kPassedDescriptor + 1);

    SpawnAttributes attributes;
    sigset_t none;
    sigemptyset(&none);
    sigset_t all;
    sigfillset(&all);
    posix_spawnattr_setsigmask(attributes.Get(), &none);
    posix_spawnattr_setsigdefault(attributes.Get(), &all);
    posix_spawnattr_setflags(attributes.Get(),
                             POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    const std::vector<char*> argv = Pointers(arguments);
    const std::vector<char*> envp = Pointers(environment);
    pid_t child = -1;
    const int failed =
        ::posix_spawn(&child, argv[0], actions.Get(), attributes.Get(), argv.data(), envp.data());
    if (failed != 0) {
        errno = failed;
        return -1;
    }
    return child;
}
