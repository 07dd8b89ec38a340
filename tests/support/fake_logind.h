#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <QDBusConnection>
#include <QDBusUnixFileDescriptor>

#include <vector>

namespace vantorel::testing {

// logind's sleep side, as a program sees it: owns org.freedesktop.login1 on a connection of its
// own and hands out inhibitors as the write end of a pipe, released (as logind sees it) once
// every copy of that end is closed.
class FakeLogind final : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")

  public:
    explicit FakeLogind(QDBusConnection connection) : bus_(std::move(connection)) {
        bus_.registerObject(kPath, this, QDBusConnection::ExportAllContents);
        bus_.registerService("org.freedesktop.login1");
    }
    ~FakeLogind() override {
        bus_.unregisterService("org.freedesktop.login1");
        bus_.unregisterObject(kPath);
        for (const int fd : readEnds_) {
            ::close(fd);
        }
    }

    int handedOut() const { return static_cast<int>(readEnds_.size()); }
    // The read end of a released inhibitor sees the end of the file.
    int released() const {
        return static_cast<int>(std::count_if(readEnds_.begin(), readEnds_.end(), [](int fd) {
            char byte = 0;
            return ::read(fd, &byte, 1) == 0;
        }));
    }

  public Q_SLOTS:
    QDBusUnixFileDescriptor Inhibit(const QString&, const QString&, const QString&,
                                    const QString&) {
        int ends[2] = {-1, -1};
        if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) {
            return {};
        }
        readEnds_.push_back(ends[0]);
        // The wrapper keeps a copy of its own: only the client's copy may keep the pipe open.
        const QDBusUnixFileDescriptor handed(ends[1]);
        ::close(ends[1]);
        return handed;
    }

  Q_SIGNALS:
    void PrepareForSleep(bool start);

  private:
    static inline const QString kPath = "/org/freedesktop/login1";
    QDBusConnection bus_;
    std::vector<int> readEnds_;
};

}  // namespace vantorel::testing
