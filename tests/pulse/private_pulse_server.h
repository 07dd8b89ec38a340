#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace vantorel::pulsetest {

// A PulseAudio daemon of the test's own, with null sinks, in a temporary directory, apart from
// the session's server: tests can play into it undisturbed and kill it at will.
class PrivatePulseServer {
  public:
    // Starts the daemon with one null sink per name; `defaultSink` is the default output.
    // Returns once the daemon accepts clients. Check `running()` and `failure()`.
    PrivatePulseServer(const std::vector<std::string>& sinks, const std::string& defaultSink);
    // Ends the daemon if it still runs and removes its directory.
    ~PrivatePulseServer();

    PrivatePulseServer(const PrivatePulseServer&) = delete;
    PrivatePulseServer& operator=(const PrivatePulseServer&) = delete;

    bool running() const { return pid_ > 0; }
    // Why the daemon did not start, with its log.
    const std::string& failure() const { return failure_; }
    // The libpulse server string of its socket.
    std::string serverString() const { return "unix:" + socketPath(); }
    std::string socketPath() const { return directory_ + "/native"; }

    // Runs pactl against the daemon; true when it succeeded.
    bool pactl(const std::vector<std::string>& args) const;

    // Sends `signal` to the daemon and waits until it has gone. The socket file stays behind
    // when the daemon could not clean up (SIGKILL).
    void kill(int signal);

  private:
    void launch(const std::vector<std::string>& sinks, const std::string& defaultSink);
    std::string readFile(const std::string& path) const;

    std::string directory_;
    pid_t pid_ = -1;
    // The process the daemon detached through; it lives as long as the daemon does.
    pid_t keeper_ = -1;
    std::string failure_;
};

}  // namespace vantorel::pulsetest
