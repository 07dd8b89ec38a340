#include "private_pulse_server.h"

#include <sys/prctl.h>
#include <sys/wait.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace vantorel::testing {

namespace {

std::string readFile(const std::string& path) {
    std::stringstream text;
    text << std::ifstream(path).rdbuf();
    return text.str();
}

}  // namespace

PrivatePulseServer::PrivatePulseServer() {
    // The daemon leaves its launcher behind; as a subreaper this process inherits it and can
    // wait for its end, which the machine's init would not.
    prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0);
    char pattern[] = "/tmp/vantorel-pulse.XXXXXX";
    directory_ = mkdtemp(pattern) != nullptr ? pattern : "/nonexistent";
    std::ofstream(directory_ + "/server.pa")
        << "load-module module-null-sink sink_name=psink\n"
        << "load-module module-native-protocol-unix auth-anonymous=1 socket=" << directory_
        << "/native\nset-default-sink psink\n";
    // A runtime folder and home of its own, and no session bus, where it would contend for the
    // session server's name. With --daemonize the launcher returns once clients can connect.
    const int status =
        std::system(("env -u PULSE_SERVER XDG_RUNTIME_DIR=" + directory_ + " HOME=" + directory_ +
                     " DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent pulseaudio --daemonize=yes" +
                     " --system=false --exit-idle-time=-1 -n --file=" + directory_ +
                     "/server.pa --log-target=file:" + directory_ + "/log")
                        .c_str());
    const std::string pid = readFile(directory_ + "/pulse/pid");
    if (status != 0 || pid.empty()) {
        failure_ = "pulseaudio did not start:\n" + readFile(directory_ + "/log");
        return;
    }
    pid_ = std::stoi(pid);
}

PrivatePulseServer::~PrivatePulseServer() {
    kill(SIGTERM);
    std::filesystem::remove_all(directory_);
}

void PrivatePulseServer::kill(int signal) {
    if (pid_ > 0) {
        ::kill(pid_, signal);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
}

}  // namespace vantorel::testing
