#include "fake_logind.h"

#include <fcntl.h>
#include <unistd.h>

#include <array>

namespace vantorel::testing {

namespace {
const QString kName = "org.freedesktop.login1";
const QString kPath = "/org/freedesktop/login1";
}  // namespace

// The read end of one inhibitor's pipe.
struct FakeLogind::Watch {
    explicit Watch(int readFd) : fd(readFd), notifier(readFd, QSocketNotifier::Read) {}
    ~Watch() { ::close(fd); }
    int fd;
    QSocketNotifier notifier;
};

FakeLogindManagerAdaptor::FakeLogindManagerAdaptor(FakeLogind* logind)
    : QDBusAbstractAdaptor(logind), logind_(logind) {}

QDBusUnixFileDescriptor FakeLogindManagerAdaptor::Inhibit(const QString& what, const QString& who,
                                                          const QString& why, const QString& mode) {
    logind_->inhibitCalls.push_back({what, who, why, mode});
    return logind_->handOut();
}

FakeLogind::FakeLogind(QDBusConnection connection)
    : connection_(std::move(connection)), adaptor_(new FakeLogindManagerAdaptor(this)) {
    registered_ = connection_.isConnected() && connection_.registerObject(kPath, this) &&
                  connection_.registerService(kName);
}

FakeLogind::~FakeLogind() {
    if (connection_.isConnected()) {
        connection_.unregisterService(kName);
        connection_.unregisterObject(kPath);
    }
}

void FakeLogind::prepareForSleep(bool start) {
    emit adaptor_->PrepareForSleep(start);
}

QDBusUnixFileDescriptor FakeLogind::handOut() {
    std::array<int, 2> ends{};
    if (::pipe2(ends.data(), O_CLOEXEC) != 0) {
        return {};
    }
    auto watch = std::make_unique<Watch>(ends[0]);
    Watch* raw = watch.get();
    connect(&raw->notifier, &QSocketNotifier::activated, this, [this, raw] {
        char byte = 0;
        if (::read(raw->fd, &byte, 1) == 0) {
            raw->notifier.setEnabled(false);
            ++released;
        }
    });
    watches_.push_back(std::move(watch));
    // The wrapper keeps a copy of its own; only the client's copy may keep the pipe open.
    QDBusUnixFileDescriptor handed(ends[1]);
    ::close(ends[1]);
    return handed;
}

}  // namespace vantorel::testing
