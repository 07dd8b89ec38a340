#pragma once

#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace vantorel::testing {

// A PulseAudio daemon of the test's own, in a temporary folder, with a null sink as its default
// output, apart from the session's server: a test can kill it at will.
class PrivatePulseServer {
  public:
    // Returns once the daemon accepts clients; check failure().
    PrivatePulseServer() {
        // The daemon leaves its launcher behind; as a subreaper this process inherits it and
        // can wait for its end, which the machine's init would not.
        prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0);
        char pattern[] = "/tmp/vantorel-pulse.XXXXXX";
        directory_ = mkdtemp(pattern) != nullptr ? pattern : "/nonexistent";
        std::ofstream(directory_ + "/server.pa")
            << "load-module module-null-sink sink_name=psink\n"
            << "load-module module-native-protocol-unix auth-anonymous=1 socket=" << directory_
            << "/native\nset-default-sink psink\n";
        // Its own runtime folder and home, and no session bus, where it would contend for the
        // session server's name. With --daemonize the launcher returns once clients can connect.
        const int status = std::system(
            ("env -u PULSE_SERVER XDG_RUNTIME_DIR=" + directory_ + " HOME=" + directory_ +
             " DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent pulseaudio --daemonize=yes" +
             " --system=false --exit-idle-time=-1 -n --file=" + directory_ +
             "/server.pa --log-target=file:" + directory_ + "/log")
                .c_str());
        const std::string pid = read(directory_ + "/pulse/pid");
        if (status != 0 || pid.empty()) {
            failure_ = "pulseaudio did not start:\n" + read(directory_ + "/log");
            return;
        }
        pid_ = std::stoi(pid);
    }
    ~PrivatePulseServer() {
        kill(SIGTERM);
        std::filesystem::remove_all(directory_);
    }
    PrivatePulseServer(const PrivatePulseServer&) = delete;
    PrivatePulseServer& operator=(const PrivatePulseServer&) = delete;

    // Why the daemon did not start, with its log; empty when it runs.
    const std::string& failure() const { return failure_; }
    // The libpulse server string of its socket.
    std::string serverString() const { return "unix:" + directory_ + "/native"; }
    // Sends `signal` and waits until the daemon has gone.
    void kill(int signal) {
        if (pid_ > 0) {
            ::kill(pid_, signal);
            waitpid(pid_, nullptr, 0);
            pid_ = -1;
        }
    }

  private:
    static std::string read(const std::string& path) {
        std::stringstream text;
        text << std::ifstream(path).rdbuf();
        return text.str();
    }

    std::string directory_;
    pid_t pid_ = -1;
    std::string failure_;
};

}  // namespace vantorel::testing
