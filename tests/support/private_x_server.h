#pragma once

#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>

namespace vantorel::testing {

// An Xvfb of the test's own, for tests that take its monitors away or kill it. It picks a free
// display number itself and accepts clients once constructed.
class PrivateXServer {
  public:
    PrivateXServer(int width, int height) {
        // The server outlives the shell that starts it; as a subreaper this process inherits it
        // and can wait for its end, which the machine's init would not.
        prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0);
        // The shell tells the server's pid at once, the server its display number once it
        // accepts clients. -noreset: else it forgets its monitors when its last client leaves.
        FILE* out =
            popen(("Xvfb -displayfd 1 -noreset -nolisten tcp -screen 0 " + std::to_string(width) +
                   "x" + std::to_string(height) + "x24 2>/dev/null & echo $!")
                      .c_str(),
                  "r");
        char pid[32] = {};
        char number[32] = {};
        const bool told = out != nullptr && std::fgets(pid, sizeof pid, out) != nullptr &&
                          std::fgets(number, sizeof number, out) != nullptr;
        if (out != nullptr) {
            pclose(out);
        }
        pid_ = std::atoi(pid);
        if (!told) {
            kill();
            throw std::runtime_error("Xvfb did not start");
        }
        displayName_ = ":" + std::to_string(std::atoi(number));
    }
    ~PrivateXServer() { kill(); }
    PrivateXServer(const PrivateXServer&) = delete;
    PrivateXServer& operator=(const PrivateXServer&) = delete;

    const std::string& displayName() const { return displayName_; }
    // Kills the server at once and waits until it has gone.
    void kill() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
            pid_ = -1;
        }
    }
    // Adds a RandR monitor at this root rectangle, or deletes one.
    void setMonitor(const std::string& name, int x, int y, int width, int height) const {
        xrandr("--setmonitor " + name + " " + std::to_string(width) + "/100x" +
               std::to_string(height) + "/100+" + std::to_string(x) + "+" + std::to_string(y) +
               " none");
    }
    void deleteMonitor(const std::string& name) const { xrandr("--delmonitor " + name); }

  private:
    void xrandr(const std::string& arguments) const {
        if (std::system(("xrandr --display " + displayName_ + " " + arguments).c_str()) != 0) {
            throw std::runtime_error("xrandr " + arguments + " failed");
        }
    }

    pid_t pid_ = -1;
    std::string displayName_;
};

}  // namespace vantorel::testing
