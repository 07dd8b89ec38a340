#include "fake_file_manager.h"

namespace vantorel::testing {

namespace {
const QString kName = "org.freedesktop.FileManager1";
const QString kPath = "/org/freedesktop/FileManager1";
}  // namespace

FakeFileManagerAdaptor::FakeFileManagerAdaptor(FakeFileManager* manager)
    : QDBusAbstractAdaptor(manager), manager_(manager) {}

void FakeFileManagerAdaptor::ShowItems(const QStringList& uris, const QString& /*startupId*/) {
    manager_->shownItems.push_back(uris);
}

void FakeFileManagerAdaptor::ShowFolders(const QStringList& uris, const QString& /*startupId*/) {
    manager_->shownFolders.push_back(uris);
}

FakeFileManager::FakeFileManager(QDBusConnection connection) : connection_(std::move(connection)) {
    new FakeFileManagerAdaptor(this);
    registered_ = connection_.isConnected() && connection_.registerObject(kPath, this) &&
                  connection_.registerService(kName);
}

FakeFileManager::~FakeFileManager() {
    if (connection_.isConnected()) {
        connection_.unregisterService(kName);
        connection_.unregisterObject(kPath);
    }
}

}  // namespace vantorel::testing
