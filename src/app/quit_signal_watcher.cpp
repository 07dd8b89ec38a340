#include "app/quit_signal_watcher.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <csignal>

namespace vantorel {

namespace {

constexpr std::array kQuitSignals{SIGTERM, SIGINT, SIGHUP};

// The write end for the handler. A signal handler can reach nothing but globals; this is the
// only one, set while a watcher exists.
volatile sig_atomic_t gSignalFd = -1;

void onSignal(int signal) {
    const int fd = gSignalFd;
    if (fd >= 0) {
        const char byte = static_cast<char>(signal);
        // Nothing useful can be done about a full pipe: a quit request is already pending then.
        [[maybe_unused]] const ssize_t written = ::write(fd, &byte, 1);
    }
}

void setHandler(void (*handler)(int)) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : kQuitSignals) {
        ::sigaction(signal, &action, nullptr);
    }
}

}  // namespace

QuitSignalWatcher::QuitSignalWatcher() {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, fds_) != 0) {
        return;  // without the pair, signals keep their default action and end the process
    }
    gSignalFd = fds_[0];
    notifier_ = std::make_unique<QSocketNotifier>(fds_[1], QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, [this] { drain(); });
    setHandler(onSignal);
}

QuitSignalWatcher::~QuitSignalWatcher() {
    if (fds_[0] < 0) {
        return;
    }
    setHandler(SIG_DFL);
    gSignalFd = -1;
    notifier_.reset();
    ::close(fds_[0]);
    ::close(fds_[1]);
}

void QuitSignalWatcher::drain() {
    char buffer[16];
    bool requested = false;
    while (::read(fds_[1], buffer, sizeof buffer) > 0) {
        requested = true;
    }
    if (requested) {
        emit quitRequested();
    }
}

}  // namespace vantorel
