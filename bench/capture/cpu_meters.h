#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

namespace vantorel::bench {

// The process of the X server that listens on `displayName`'s local socket, found through the
// socket's inode; none when it cannot be seen (another user's server, a remote display).
std::optional<pid_t> xServerProcess(const std::string& displayName);

// User + system CPU seconds a process has used so far; 0 when it cannot be read.
double processCpuSeconds(pid_t pid);

// The whole machine: busy and total CPU seconds over all cores since boot, from /proc/stat.
struct MachineCpu {
    double busySeconds = 0;
    double totalSeconds = 0;
};
MachineCpu machineCpu();

// CPU seconds each live thread of a process has used.
struct ThreadCpu {
    pid_t tid = 0;
    std::string name;
    double seconds = 0;
};
std::vector<ThreadCpu> threadCpuOf(pid_t pid);

// The 1-, 5- and 15-minute load averages, as /proc/loadavg gives them.
std::string loadAverage();

}  // namespace vantorel::bench
