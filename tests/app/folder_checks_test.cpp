#include <gtest/gtest.h>

#include <sys/mount.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <system_error>

#include "app/folder_checks.h"

namespace vantorel {
namespace {

// A folder the current user cannot write to: a read-only mount for root, whom mode bits
// don't stop, and mode 0555 for everyone else.
class ReadOnlyFolder {
  public:
    explicit ReadOnlyFolder(const QString& path) : path_(path.toUtf8()) {
        QDir().mkpath(path);
        if (::geteuid() == 0) {
            mounted_ = ::mount("tmpfs", path_.constData(), "tmpfs", MS_RDONLY, "size=64k") == 0;
        } else {
            QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        }
    }
    ~ReadOnlyFolder() {
        if (mounted_) {
            ::umount(path_.constData());
        }
        QFile::setPermissions(QString::fromUtf8(path_), QFileDevice::ReadOwner |
                                                            QFileDevice::WriteOwner |
                                                            QFileDevice::ExeOwner);
    }
    bool ready() const { return mounted_ || ::geteuid() != 0; }

  private:
    QByteArray path_;
    bool mounted_ = false;
};

TEST(PrepareFolder, CreatesAMissingFolderWithItsParents) {
    QTemporaryDir dir;
    const QString folder = dir.filePath("Videos/deep/Brisolet");
    EXPECT_FALSE(prepareFolder(folder));
    EXPECT_TRUE(QDir(folder).exists());
    EXPECT_FALSE(prepareFolder(folder)) << "an existing folder is fine";
}

TEST(PrepareFolder, AnExistingReadOnlyFolderIsNotWritable) {
    QTemporaryDir dir;
    const QString folder = dir.filePath("Brisolet");
    ReadOnlyFolder readOnly(folder);
    ASSERT_TRUE(readOnly.ready());
    const std::optional<FolderProblem> problem = prepareFolder(folder);
    ASSERT_TRUE(problem);
    EXPECT_EQ(problem->title, "Can't save to this folder");
    EXPECT_EQ(problem->message,
              "The folder \"Brisolet\" can't be written. Pick another one under Settings, Save "
              "Location.");
    EXPECT_EQ(problem->details, "Not writable: " + folder);
}

TEST(PrepareFolder, AnUncreatableParentReportsThePathAndTheError) {
    QTemporaryDir dir;
    ReadOnlyFolder readOnly(dir.filePath("volume"));
    ASSERT_TRUE(readOnly.ready());
    const QString folder = dir.filePath("volume/Movies/Brisolet");
    const std::optional<FolderProblem> problem = prepareFolder(folder);
    ASSERT_TRUE(problem);
    const QStringList lines = problem->details.split('\n');
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[0], folder);
    // The system's own words: a read-only file system for root, permission denied otherwise.
    EXPECT_TRUE(lines[1] == QString::fromStdString(std::generic_category().message(EROFS)) ||
                lines[1] == QString::fromStdString(std::generic_category().message(EACCES)))
        << lines[1].toStdString();
}

TEST(FreeBytes, ReadsTheVolumeAndIsAbsentWhenUnreadable) {
    QTemporaryDir dir;
    const std::optional<int64_t> free = freeBytes(dir.path());
    ASSERT_TRUE(free);
    EXPECT_GT(*free, 0);
    EXPECT_FALSE(freeBytes(dir.filePath("does/not/exist")));
}

TEST(FreeBytes, TheLimitIsThreeHundredMillionDecimalBytes) {
    EXPECT_TRUE(isLowOnSpace(int64_t{299'999'999}));
    EXPECT_FALSE(isLowOnSpace(int64_t{300'000'000}));
    EXPECT_FALSE(isLowOnSpace(std::nullopt));
}

}  // namespace
}  // namespace vantorel
