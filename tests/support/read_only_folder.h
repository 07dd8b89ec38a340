#pragma once

#include <sys/mount.h>
#include <unistd.h>

#include <QDir>
#include <QFile>

namespace vantorel::testing {

// A folder that cannot be written to while this lives: for root, whom mode bits do not stop, a
// read-only bind mount of the folder on itself; for anyone else, mode 0555.
class ReadOnlyFolder {
  public:
    explicit ReadOnlyFolder(const QString& path)
        : path_(path), mountPoint_(QFile::encodeName(path)) {
        QDir().mkpath(path);
        if (::geteuid() != 0) {
            QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
            ready_ = true;
            return;
        }
        mounted_ = ::mount(mountPoint_, mountPoint_, nullptr, MS_BIND, nullptr) == 0;
        ready_ = mounted_ && ::mount(nullptr, mountPoint_, nullptr,
                                     MS_BIND | MS_REMOUNT | MS_RDONLY, nullptr) == 0;
    }
    ~ReadOnlyFolder() {
        if (mounted_) {
            ::umount(mountPoint_);
        }
        QFile::setPermissions(
            path_, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
    bool ready() const { return ready_; }

  private:
    QString path_;
    QByteArray mountPoint_;
    bool mounted_ = false;
    bool ready_ = false;
};

}  // namespace vantorel::testing
