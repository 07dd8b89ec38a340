#include "child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "monotonic.h"

extern char** environ;

namespace vantorel::bench {

namespace {

double seconds(const timeval& value) {
    return static_cast<double>(value.tv_sec) + static_cast<double>(value.tv_usec) / 1e6;
}

// posix_spawn's file actions, released however the start goes.
class FileActions {
  public:
    FileActions() { posix_spawn_file_actions_init(&actions_); }
    ~FileActions() { posix_spawn_file_actions_destroy(&actions_); }
    FileActions(const FileActions&) = delete;
    FileActions& operator=(const FileActions&) = delete;
    posix_spawn_file_actions_t* get() { return &actions_; }

  private:
    posix_spawn_file_actions_t actions_{};
};

}  // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const std::string& stderrPath,
                           LineSink onLine) {
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) {
        throw std::runtime_error(std::string("pipe: ") + std::strerror(errno));
    }
    FileActions actions;
    posix_spawn_file_actions_addopen(actions.get(), STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(actions.get(), pipeFds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(actions.get(), STDERR_FILENO, stderrPath.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    std::vector<char*> args;
    for (const std::string& arg : argv) {
        args.push_back(const_cast<char*>(arg.c_str()));
    }
    args.push_back(nullptr);
    spawnedNs_ = monotonicNs();
    const int result = posix_spawnp(&pid_, args[0], actions.get(), nullptr, args.data(), environ);
    close(pipeFds[1]);
    if (result != 0) {
        close(pipeFds[0]);
        throw std::runtime_error("cannot start " + argv[0] + ": " + std::strerror(result));
    }
    // Through syscall(): the C library here declares the wrapper without C linkage.
    pidfd_ = static_cast<int>(syscall(SYS_pidfd_open, pid_, 0));
    reader_ = std::thread([this, fd = pipeFds[0], onLine = std::move(onLine)] {
        readLines(fd, onLine);
        close(fd);
    });
}

ChildProcess::~ChildProcess() {
    if (!reaped_) {
        signal(SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    if (reader_.joinable()) {
        reader_.join();
    }
    if (pidfd_ >= 0) {
        close(pidfd_);
    }
}

void ChildProcess::signal(int number) const {
    if (!reaped_) {
        kill(pid_, number);
    }
}

ChildOutcome ChildProcess::wait(std::chrono::milliseconds patience) {
    ChildOutcome outcome;
    pollfd ready{pidfd_, POLLIN, 0};
    if (pidfd_ >= 0 && poll(&ready, 1, static_cast<int>(patience.count())) == 0) {
        signal(SIGKILL);  // hung: the outcome reports it as not exited
    }
    int status = 0;
    rusage usage{};
    if (wait4(pid_, &status, 0, &usage) == pid_) {
        reaped_ = true;
        outcome.endNs = monotonicNs();
        outcome.exited = WIFEXITED(status);
        outcome.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
        outcome.userSeconds = seconds(usage.ru_utime);
        outcome.systemSeconds = seconds(usage.ru_stime);
        outcome.cpuSeconds = outcome.userSeconds + outcome.systemSeconds;
        outcome.peakRssMegabytes = static_cast<double>(usage.ru_maxrss) / 1024.0;
    }
    if (reader_.joinable()) {
        reader_.join();
    }
    return outcome;
}

void ChildProcess::readLines(int fd, const LineSink& onLine) {
    std::string pending;
    char chunk[4096];
    for (;;) {
        const ssize_t got = read(fd, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            break;
        }
        const int64_t now = monotonicNs();
        pending.append(chunk, static_cast<size_t>(got));
        for (size_t end = pending.find('\n'); end != std::string::npos; end = pending.find('\n')) {
            onLine(pending.substr(0, end), now);
            pending.erase(0, end + 1);
        }
    }
    if (!pending.empty()) {
        onLine(pending, monotonicNs());
    }
}

}  // namespace vantorel::bench
