#include "private_pulse_server.h"

#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace vantorel::testing {

namespace {

std::string readFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

pid_t parentOf(pid_t pid) {
    // "pid (name) state ppid ...", where the name may hold spaces and parentheses.
    const std::string stat = readFile("/proc/" + std::to_string(pid) + "/stat");
    std::istringstream rest(stat.substr(stat.rfind(')') + 1));
    std::string state;
    pid_t parent = -1;
    rest >> state >> parent;
    return parent;
}

}  // namespace

PrivatePulseServer::PrivatePulseServer() {
    // The daemon detaches from its launcher. As a subreaper this process inherits it and can wait
    // for its end; the machine's init does not reap it.
    prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0);
    char pattern[] = "/tmp/vantorel-pulse.XXXXXX";
    directory_ = mkdtemp(pattern) != nullptr ? pattern : "";
    std::filesystem::create_directories(directory_ + "/runtime");
    std::filesystem::permissions(directory_ + "/runtime", std::filesystem::perms::owner_all);
    {
        std::ofstream script(directory_ + "/server.pa");
        script << "load-module module-null-sink sink_name=psink\n"
               << "load-module module-native-protocol-unix auth-anonymous=1 socket=" << directory_
               << "/native\nset-default-sink psink\n";
    }
    // Its own runtime folder and home, and no session bus, where it would contend for the
    // session server's name. With --daemonize the launcher returns once clients can connect.
    const std::string command =
        "env -u PULSE_SERVER XDG_RUNTIME_DIR=" + directory_ + "/runtime HOME=" + directory_ +
        " XDG_CONFIG_HOME=" + directory_ + " DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent" +
        " pulseaudio --daemonize=yes --system=false --exit-idle-time=-1 -n" +
        " --file=" + directory_ + "/server.pa --log-target=file:" + directory_ + "/log";
    const int status = std::system(command.c_str());
    const std::string pid = readFile(directory_ + "/runtime/pulse/pid");
    if (status != 0 || pid.empty()) {
        failure_ = "pulseaudio did not start:\n" + readFile(directory_ + "/log");
        return;
    }
    pid_ = static_cast<pid_t>(std::stol(pid));
    keeper_ = parentOf(pid_);
}

PrivatePulseServer::~PrivatePulseServer() {
    kill(SIGTERM);
    std::error_code ignored;
    std::filesystem::remove_all(directory_, ignored);
}

void PrivatePulseServer::kill(int signal) {
    if (pid_ <= 0) {
        return;
    }
    ::kill(pid_, signal);
    // The daemon's parent exits once the daemon has, which hands the daemon over to us; only
    // then can its end be waited for.
    if (keeper_ > 0) {
        waitpid(keeper_, nullptr, 0);
    }
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
}

}  // namespace vantorel::testing
