#include "private_x_server.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <stdexcept>
#include <vector>

extern char** environ;

namespace vantorel::testing {

PrivateXServer::PrivateXServer(int width, int height) {
    int fds[2];
    if (pipe(fds) != 0) {
        throw std::runtime_error("pipe failed");
    }
    const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
    const std::string displayFd = std::to_string(fds[1]);
    std::vector<std::string> args = {"Xvfb", "-displayfd", displayFd,   "-noreset", "-screen",
                                     "0",    screen,       "-nolisten", "tcp"};
    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    const int spawned = posix_spawnp(&pid_, "Xvfb", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (spawned != 0) {
        close(fds[0]);
        throw std::runtime_error("cannot start Xvfb");
    }
    // Blocks until the server is ready (it writes the number) or has died (end of file).
    std::string number;
    char c = 0;
    while (read(fds[0], &c, 1) == 1 && c != '\n') {
        number.push_back(c);
    }
    close(fds[0]);
    if (number.empty()) {
        kill();
        throw std::runtime_error("Xvfb did not report a display");
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

void PrivateXServer::setMonitor(const std::string& name, int x, int y, int width, int height) {
    const std::string geometry = std::to_string(width) + "/" + std::to_string(width / 4) + "x" +
                                 std::to_string(height) + "/" + std::to_string(height / 4) + "+" +
                                 std::to_string(x) + "+" + std::to_string(y);
    runXrandr({"--setmonitor", name, geometry, "none"});
}

void PrivateXServer::deleteMonitor(const std::string& name) {
    runXrandr({"--delmonitor", name});
}

void PrivateXServer::runXrandr(const std::vector<std::string>& arguments) const {
    std::vector<std::string> args = {"xrandr", "--display", displayName_};
    args.insert(args.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    const int spawned = posix_spawnp(&pid, "xrandr", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    if (spawned != 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0) {
        throw std::runtime_error("xrandr " + arguments.front() + " failed");
    }
}

}  // namespace vantorel::testing
