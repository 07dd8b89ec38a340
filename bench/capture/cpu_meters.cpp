#include "cpu_meters.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

namespace vantorel::bench {

namespace {

std::optional<std::string> displayNumber(const std::string& displayName) {
    const size_t colon = displayName.rfind(':');
    if (colon == std::string::npos || (colon != 0 && displayName.substr(0, colon) != "unix")) {
        return std::nullopt;  // only a local server shares our /proc
    }
    const std::string rest = displayName.substr(colon + 1);
    return rest.substr(0, rest.find('.'));
}

// The inodes of the listening sockets bound to `path` (abstract or in the file system).
std::vector<std::string> listeningInodes(const std::string& path) {
    std::ifstream table("/proc/net/unix");
    std::vector<std::string> inodes;
    std::string line;
    std::getline(table, line);  // header
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string slot, refs, protocol, flags, type, state, inode, name;
        fields >> slot >> refs >> protocol >> flags >> type >> state >> inode >> name;
        if (flags == "00010000" && (name == path || name == "@" + path)) {
            inodes.push_back(inode);
        }
    }
    return inodes;
}

double ticksToSeconds(long long ticks) {
    return static_cast<double>(ticks) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

double statCpuSeconds(const std::string& statPath) {
    std::ifstream file(statPath);
    std::string text;
    std::getline(file, text);
    // The command name may hold spaces; the fields after it are plain numbers.
    const size_t close = text.rfind(')');
    if (close == std::string::npos) {
        return 0;
    }
    std::istringstream fields(text.substr(close + 2));
    std::string field;
    long long user = 0;
    long long system = 0;
    for (int index = 3; fields >> field; ++index) {
        if (index == 14) {
            user = std::stoll(field);
        } else if (index == 15) {
            system = std::stoll(field);
            break;
        }
    }
    return ticksToSeconds(user + system);
}

}  // namespace

std::optional<pid_t> xServerProcess(const std::string& displayName) {
    const std::optional<std::string> number = displayNumber(displayName);
    if (!number) {
        return std::nullopt;
    }
    const std::vector<std::string> inodes = listeningInodes("/tmp/.X11-unix/X" + *number);
    if (inodes.empty()) {
        return std::nullopt;
    }
    std::error_code ignored;
    for (const auto& process : std::filesystem::directory_iterator("/proc", ignored)) {
        const std::string name = process.path().filename();
        if (name.find_first_not_of("0123456789") != std::string::npos) {
            continue;
        }
        for (const auto& fd : std::filesystem::directory_iterator(process.path() / "fd", ignored)) {
            const std::string target = std::filesystem::read_symlink(fd.path(), ignored);
            for (const std::string& inode : inodes) {
                if (target == "socket:[" + inode + "]") {
                    return static_cast<pid_t>(std::stol(name));
                }
            }
        }
    }
    return std::nullopt;
}

double processCpuSeconds(pid_t pid) {
    return statCpuSeconds("/proc/" + std::to_string(pid) + "/stat");
}

std::vector<ThreadCpu> threadCpuOf(pid_t pid) {
    std::vector<ThreadCpu> threads;
    std::error_code ignored;
    const std::filesystem::path tasks = "/proc/" + std::to_string(pid) + "/task";
    for (const auto& task : std::filesystem::directory_iterator(tasks, ignored)) {
        std::ifstream comm(task.path() / "comm");
        ThreadCpu thread;
        thread.tid = static_cast<pid_t>(std::stol(task.path().filename().string()));
        std::getline(comm, thread.name);
        thread.seconds = statCpuSeconds(task.path() / "stat");
        threads.push_back(thread);
    }
    return threads;
}

MachineCpu machineCpu() {
    std::ifstream file("/proc/stat");
    std::string label;
    file >> label;  // "cpu": the sum over all cores
    long long total = 0;
    long long idle = 0;
    long long value = 0;
    for (int index = 0; index < 8 && file >> value; ++index) {
        total += value;
        if (index == 3 || index == 4) {  // idle, iowait
            idle += value;
        }
    }
    return MachineCpu{ticksToSeconds(total - idle), ticksToSeconds(total)};
}

std::string loadAverage() {
    std::ifstream file("/proc/loadavg");
    std::string one, five, fifteen, tasks;
    file >> one >> five >> fifteen >> tasks;
    return one + " " + five + " " + fifteen;
}

}  // namespace vantorel::bench
