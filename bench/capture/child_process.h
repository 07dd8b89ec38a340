#pragma once

#include <sys/resource.h>
#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace vantorel::bench {

// How a child process ended and what it cost, as the kernel counted it.
struct ChildOutcome {
    bool exited = false;  // false: killed by a signal, or still running at the deadline
    int exitCode = -1;
    int64_t endNs = 0;      // monotonic time at which the parent saw it end
    double cpuSeconds = 0;  // user + system
    double userSeconds = 0;
    double systemSeconds = 0;
    double peakRssMegabytes = 0;
};

// A child process whose standard output is read line by line, on a reader thread, as it comes.
class ChildProcess {
  public:
    // Called on the reader thread with each line and the monotonic time it arrived.
    using LineSink = std::function<void(const std::string& line, int64_t atNs)>;

    // Starts `argv` (argv[0] looked up in PATH) with standard error going to `stderrPath` and
    // standard input empty. Throws std::runtime_error when it cannot start.
    ChildProcess(const std::vector<std::string>& argv, const std::string& stderrPath,
                 LineSink onLine);
    // Kills a child that is still running and reaps it.
    ~ChildProcess();

    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    void signal(int number) const;
    // Waits for the child to end; past `patience` it is killed, and the outcome says so.
    ChildOutcome wait(std::chrono::milliseconds patience);

    pid_t pid() const { return pid_; }
    int64_t spawnedNs() const { return spawnedNs_; }

  private:
    void readLines(int fd, const LineSink& onLine);

    pid_t pid_ = -1;
    int pidfd_ = -1;
    bool reaped_ = false;
    int64_t spawnedNs_ = 0;
    std::thread reader_;
};

}  // namespace vantorel::bench
