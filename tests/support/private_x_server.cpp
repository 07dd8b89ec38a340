#include "private_x_server.h"

#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <stdexcept>

namespace vantorel::testing {

namespace {

void run(const std::string& command) {
    if (std::system(command.c_str()) != 0) {
        throw std::runtime_error(command + " failed");
    }
}

}  // namespace

PrivateXServer::PrivateXServer(int width, int height) {
    // The server outlives the shell that starts it; as a subreaper this process inherits it and
    // can wait for its end, which the machine's init would not.
    prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0);
    // The shell says the server's pid at once; the server writes its display number once it
    // accepts clients. -noreset: otherwise it forgets its monitors when its last client leaves.
    FILE* out =
        popen(("Xvfb -displayfd 1 -noreset -nolisten tcp -screen 0 " + std::to_string(width) + "x" +
               std::to_string(height) + "x24 2>/dev/null & echo $!")
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

void PrivateXServer::kill() {
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
}

void PrivateXServer::setMonitor(const std::string& name, int x, int y, int width,
                                int height) const {
    run("xrandr --display " + displayName_ + " --setmonitor " + name + " " + std::to_string(width) +
        "/100x" + std::to_string(height) + "/100+" + std::to_string(x) + "+" + std::to_string(y) +
        " none");
}

void PrivateXServer::deleteMonitor(const std::string& name) const {
    run("xrandr --display " + displayName_ + " --delmonitor " + name);
}

}  // namespace vantorel::testing
