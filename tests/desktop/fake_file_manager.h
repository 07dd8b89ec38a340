#pragma once

#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QObject>
#include <QStringList>

#include <vector>

namespace vantorel::testing {

class FakeFileManager;

class FakeFileManagerAdaptor final : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")

  public:
    explicit FakeFileManagerAdaptor(FakeFileManager* manager);

  public Q_SLOTS:
    void ShowItems(const QStringList& uris, const QString& startupId);
    void ShowFolders(const QStringList& uris, const QString& startupId);

  private:
    FakeFileManager* manager_;
};

// A file manager that owns org.freedesktop.FileManager1 and records what it was asked to show.
class FakeFileManager final : public QObject {
    Q_OBJECT

  public:
    explicit FakeFileManager(QDBusConnection connection);
    ~FakeFileManager() override;

    bool registered() const { return registered_; }

    std::vector<QStringList> shownItems;
    std::vector<QStringList> shownFolders;

  private:
    QDBusConnection connection_;
    bool registered_ = false;
};

}  // namespace vantorel::testing
