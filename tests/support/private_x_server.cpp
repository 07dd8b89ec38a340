#include "private_x_server.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>
#include <vector>

extern char** environ;

namespace vantorel::testing {

PrivateXServer::PrivateXServer(int width, int height) {
    int fds[2];
    if (pipe(fds) != 0) {
        throw std::runtime_error("pipe failed");
    }
    // -noreset: without it the server resets, and forgets its monitors, when its last client
    // leaves.
    std::vector<std::string> args = {"Xvfb",
                                     "-displayfd",
                                     std::to_string(fds[1]),
                                     "-noreset",
                                     "-screen",
                                     "0",
                                     std::to_string(width) + "x" + std::to_string(height) + "x24",
                                     "-nolisten",
                                     "tcp"};
    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const int spawned = posix_spawnp(&pid_, "Xvfb", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    // The server writes its display number once it accepts clients, or dies (end of file).
    std::string number;
    char c = 0;
    while (spawned == 0 && read(fds[0], &c, 1) == 1 && c != '\n') {
        number.push_back(c);
    }
    close(fds[0]);
    if (number.empty()) {
        kill();
        throw std::runtime_error("Xvfb did not start");
    }
    displayName_ = ":" + number;
}

PrivateXServer::~PrivateXServer() {
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }
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
    xrandr("--setmonitor " + name + " " + std::to_string(width) + "/100x" + std::to_string(height) +
           "/100+" + std::to_string(x) + "+" + std::to_string(y) + " none");
}

void PrivateXServer::deleteMonitor(const std::string& name) const {
    xrandr("--delmonitor " + name);
}

void PrivateXServer::xrandr(const std::string& arguments) const {
    if (std::system(("xrandr --display " + displayName_ + " " + arguments).c_str()) != 0) {
        throw std::runtime_error("xrandr " + arguments + " failed");
    }
}

}  // namespace vantorel::testing
