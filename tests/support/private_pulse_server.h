#pragma once

#include <sys/types.h>

#include <string>

namespace vantorel::testing {

// A PulseAudio daemon of the test's own, in a temporary folder, with a null sink as its default
// output, apart from the session's server: a test can kill it at will.
class PrivatePulseServer {
  public:
    // Returns once the daemon accepts clients; check failure().
    PrivatePulseServer();
    ~PrivatePulseServer();

    PrivatePulseServer(const PrivatePulseServer&) = delete;
    PrivatePulseServer& operator=(const PrivatePulseServer&) = delete;

    // Why the daemon did not start, with its log; empty when it runs.
    const std::string& failure() const { return failure_; }
    // The libpulse server string of its socket.
    std::string serverString() const { return "unix:" + directory_ + "/native"; }
    // Sends `signal` and waits until the daemon has gone.
    void kill(int signal);

  private:
    std::string directory_;
    pid_t pid_ = -1;
    std::string failure_;
};

}  // namespace vantorel::testing
