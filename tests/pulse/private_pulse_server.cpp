#include "private_pulse_server.h"

#include <spawn.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

extern char** environ;

namespace vantorel::pulsetest {
namespace {

// The daemon detaches from its launcher. Made a subreaper, the test process inherits it and can
// wait for its end; otherwise it would linger as a zombie under an init that does not reap.
void adoptOrphans() {
    prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0);
}

pid_t parentOf(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(in, line);
    // "pid (name) state ppid ...", where the name may hold spaces and parentheses.
    std::istringstream rest(line.substr(line.rfind(')') + 1));
    std::string state;
    pid_t parent = -1;
    rest >> state >> parent;
    return parent;
}

std::vector<std::string> daemonEnvironment(const std::string& directory) {
    std::vector<std::string> env;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string variable(*entry);
        const std::string name = variable.substr(0, variable.find('='));
        if (name != "XDG_RUNTIME_DIR" && name != "HOME" && name != "XDG_CONFIG_HOME" &&
            name != "PULSE_SERVER" && name != "DISPLAY" && name != "DBUS_SESSION_BUS_ADDRESS") {
            env.push_back(variable);
        }
    }
    // Its own runtime directory (pid file, lock) and home (cookie), and no session bus, where it
    // would contend for the session server's name.
    env.push_back("XDG_RUNTIME_DIR=" + directory + "/runtime");
    env.push_back("HOME=" + directory + "/home");
    env.push_back("XDG_CONFIG_HOME=" + directory + "/home");
    env.push_back("DBUS_SESSION_BUS_ADDRESS=unix:path=" + directory + "/no-bus");
    return env;
}

int spawnAndWait(const std::vector<std::string>& args, const std::vector<std::string>& env) {
    std::vector<char*> argv;
    for (const std::string& arg : args) {
        argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (const std::string& variable : env) {
        envp.push_back(const_cast<char*>(variable.c_str()));
    }
    envp.push_back(nullptr);
    pid_t launcher = -1;
    if (posix_spawnp(&launcher, argv[0], nullptr, nullptr, argv.data(), envp.data()) != 0) {
        return -1;
    }
    int status = 0;
    waitpid(launcher, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

PrivatePulseServer::PrivatePulseServer(const std::vector<std::string>& sinks,
                                       const std::string& defaultSink) {
    adoptOrphans();
    char pattern[] = "/tmp/vantorel-pulse.XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
        failure_ = "no temporary directory";
        return;
    }
    directory_ = pattern;
    launch(sinks, defaultSink);
}

PrivatePulseServer::~PrivatePulseServer() {
    if (running()) {
        kill(SIGTERM);
    }
    if (!directory_.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(directory_, ignored);
    }
}

void PrivatePulseServer::launch(const std::vector<std::string>& sinks,
                                const std::string& defaultSink) {
    std::filesystem::create_directories(directory_ + "/runtime");
    std::filesystem::create_directories(directory_ + "/home");
    std::filesystem::permissions(directory_ + "/runtime", std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::replace);
    const std::string script = directory_ + "/server.pa";
    {
        std::ofstream out(script);
        for (const std::string& sink : sinks) {
            out << "load-module module-null-sink sink_name=" << sink << "\n";
        }
        out << "load-module module-native-protocol-unix auth-anonymous=1 socket=" << socketPath()
            << "\n";
        out << "set-default-sink " << defaultSink << "\n";
    }
    const std::string log = directory_ + "/pulse.log";
    // With --daemonize the launcher returns only once the daemon is ready for clients.
    const int status =
        spawnAndWait({"pulseaudio", "--daemonize=yes", "--system=false", "--exit-idle-time=-1",
                      "-n", "--file=" + script, "--log-target=file:" + log},
                     daemonEnvironment(directory_));
    const std::string pidText = readFile(directory_ + "/runtime/pulse/pid");
    if (status != 0 || pidText.empty()) {
        failure_ =
            "pulseaudio did not start (status " + std::to_string(status) + "):\n" + readFile(log);
        return;
    }
    pid_ = static_cast<pid_t>(std::stol(pidText));
    keeper_ = parentOf(pid_);
}

bool PrivatePulseServer::pactl(const std::vector<std::string>& args) const {
    std::vector<std::string> command{"pactl", "--server=" + serverString()};
    command.insert(command.end(), args.begin(), args.end());
    std::vector<std::string> env;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        env.emplace_back(*entry);
    }
    return spawnAndWait(command, env) == 0;
}

void PrivatePulseServer::kill(int signal) {
    if (!running()) {
        return;
    }
    ::kill(pid_, signal);
    // The daemon's parent waits for it to end and then exits itself, which hands the daemon to
    // this process; only then can its end be awaited here.
    int status = 0;
    if (keeper_ > 0) {
        waitpid(keeper_, &status, 0);
    }
    waitpid(pid_, &status, 0);
    pid_ = -1;
    keeper_ = -1;
}

std::string PrivatePulseServer::readFile(const std::string& path) const {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace vantorel::pulsetest
