#pragma once

#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDBusUnixFileDescriptor>
#include <QObject>
#include <QSocketNotifier>
#include <QStringList>

#include <memory>
#include <vector>

namespace vantorel::testing {

class FakeLogind;

class FakeLogindManagerAdaptor final : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")

  public:
    explicit FakeLogindManagerAdaptor(FakeLogind* logind);

  public Q_SLOTS:
    QDBusUnixFileDescriptor Inhibit(const QString& what, const QString& who, const QString& why,
                                    const QString& mode);

  Q_SIGNALS:
    void PrepareForSleep(bool start);

  private:
    FakeLogind* logind_;
};

// logind's sleep side, as the program sees it: owns org.freedesktop.login1 on a connection of
// its own, hands out inhibitors as the write end of a pipe and notices when the last copy of
// one is closed (the read end sees end of file), as logind does.
class FakeLogind final : public QObject {
    Q_OBJECT

  public:
    explicit FakeLogind(QDBusConnection connection);
    ~FakeLogind() override;

    bool registered() const { return registered_; }
    void prepareForSleep(bool start);

    // The arguments of each Inhibit call.
    std::vector<QStringList> inhibitCalls;
    int released = 0;  // inhibitors whose every copy is closed

    // Inhibitors handed out and not yet released.
    int held() const { return static_cast<int>(inhibitCalls.size()) - released; }

  private:
    friend class FakeLogindManagerAdaptor;
    QDBusUnixFileDescriptor handOut();

    struct Watch;
    QDBusConnection connection_;
    FakeLogindManagerAdaptor* adaptor_;
    bool registered_ = false;
    std::vector<std::unique_ptr<Watch>> watches_;
};

}  // namespace vantorel::testing
