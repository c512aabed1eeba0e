#include "platform/child_process.h"
#include "platform/fd_linux.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

extern char** environ;

namespace platform {
namespace {

using Clock = std::chrono::steady_clock;

// Once the child has exited, how long its pipes may stay open (held by a process it
// left behind) before the group is killed.
constexpr auto exitGrace = std::chrono::milliseconds(200);

struct SpawnAttributes {
    posix_spawnattr_t attributes{};
    posix_spawn_file_actions_t actions{};
    SpawnAttributes() {
        posix_spawnattr_init(&attributes);
        posix_spawn_file_actions_init(&actions);
    }
    SpawnAttributes(const SpawnAttributes&) = delete;
    SpawnAttributes& operator=(const SpawnAttributes&) = delete;
    ~SpawnAttributes() {
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attributes);
    }
};

bool makePipe(Fd& read, Fd& write) {
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0) {
        return false;
    }
    read.fd = ends[0];
    write.fd = ends[1];
    return true;
}

// Reads what is there; false at the end of the stream or on an error.
bool drain(int fd, std::string& into) {
    char chunk[8192];
    const ssize_t got = read(fd, chunk, sizeof chunk);
    if (got < 0) {
        return errno == EINTR || errno == EAGAIN;
    }
    if (got == 0) {
        return false;
    }
    const std::size_t room = into.size() < childOutputLimit ? childOutputLimit - into.size() : 0;
    into.append(chunk, static_cast<std::size_t>(got) < room ? static_cast<std::size_t>(got) : room);
    return true;
}

int exitCodeOf(int status) {
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// ARGUMENTS holds the program's name first; SEARCH looks it up in PATH.
ChildRun runSpawned(const std::string& path, const std::vector<std::string>& arguments, bool search,
                    std::chrono::milliseconds timeout, const std::function<bool()>& abandon) {
    ChildRun run;
    Fd outRead, outWrite, errRead, errWrite;
    if (!makePipe(outRead, outWrite) || !makePipe(errRead, errWrite)) {
        return run;
    }
    SpawnAttributes spawn;
    // A group of its own, so that a kill reaches whatever it started too; default
    // signal handling and an empty mask, whatever the collector set for itself.
    sigset_t none, defaults;
    sigemptyset(&none);
    sigemptyset(&defaults);
    for (const int signal : {SIGINT, SIGTERM, SIGPIPE, SIGHUP}) {
        sigaddset(&defaults, signal);
    }
    posix_spawnattr_setpgroup(&spawn.attributes, 0);
    posix_spawnattr_setsigmask(&spawn.attributes, &none);
    posix_spawnattr_setsigdefault(&spawn.attributes, &defaults);
    posix_spawnattr_setflags(&spawn.attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK |
                                                    POSIX_SPAWN_SETSIGDEF);
    posix_spawn_file_actions_addopen(&spawn.actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&spawn.actions, outWrite.fd, 1);
    posix_spawn_file_actions_adddup2(&spawn.actions, errWrite.fd, 2);

    std::vector<char*> argv;
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    pid_t pid = 0;
    if ((search ? posix_spawnp : posix_spawn)(&pid, path.c_str(), &spawn.actions, &spawn.attributes,
                                              argv.data(), environ) != 0) {
        return run;
    }
    run.started = true;
    outWrite.reset();
    errWrite.reset();
    // The child's exit wakes the poll below (Linux 5.3 and later); without it, the
    // exit is looked for every few milliseconds.
    const Fd exitFd(static_cast<int>(syscall(SYS_pidfd_open, pid, 0)));

    const auto deadline = Clock::now() + timeout;
    bool outOpen = true, errOpen = true, exited = false, killGroup = false;
    Clock::time_point exitedAt{};
    int status = 0;
    while (!exited || outOpen || errOpen) {
        const auto now = Clock::now();
        if (now >= deadline || (exited && now - exitedAt >= exitGrace)) {
            run.timedOut = !exited;
            killGroup = true;
            break;
        }
        if (abandon()) {
            run.abandoned = true;
            killGroup = true;
            break;
        }
        const auto wait =
            std::chrono::duration_cast<std::chrono::milliseconds>(std::min<Clock::duration>(
                deadline - now,
                exitFd.fd >= 0 ? std::chrono::milliseconds(50) : std::chrono::milliseconds(2)));
        pollfd fds[3] = {{outOpen ? outRead.fd : -1, POLLIN, 0},
                         {errOpen ? errRead.fd : -1, POLLIN, 0},
                         {exited ? -1 : exitFd.fd, POLLIN, 0}};
        if (poll(fds, 3, static_cast<int>(wait.count()) + 1) > 0) {
            if (fds[0].revents != 0) {
                outOpen = drain(outRead.fd, run.out);
            }
            if (fds[1].revents != 0) {
                errOpen = drain(errRead.fd, run.err);
            }
        }
        if (!exited && waitpid(pid, &status, WNOHANG) == pid) {
            exited = true;
            exitedAt = Clock::now();
        }
    }
    // A child past its time, or one whose pipes something it started still holds: the
    // whole group goes, and nothing more is read from the pipes.
    if (killGroup) {
        kill(-pid, SIGKILL);
        if (!exited) {
            while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
        }
    }
    run.exitCode = run.timedOut ? -1 : exitCodeOf(status);
    return run;
}

} // namespace

ChildRun runChild(const std::filesystem::path& program, std::chrono::milliseconds timeout,
                  const std::function<bool()>& abandon) {
    const std::string path = program.string();
    return runSpawned(path, {path}, false, timeout, abandon);
}

ChildRun runProgram(const std::string& name, const std::vector<std::string>& arguments,
                    std::chrono::milliseconds timeout) {
    std::vector<std::string> all{name};
    all.insert(all.end(), arguments.begin(), arguments.end());
    return runSpawned(name, all, true, timeout, [] { return false; });
}

} // namespace platform
