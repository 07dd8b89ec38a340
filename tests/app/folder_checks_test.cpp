#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <system_error>

#include "app/folder_checks.h"
#include "gtest_qt_printing.h"
#include "read_only_folder.h"

namespace vantorel::testing {
namespace {

TEST(FolderChecks, AFolderIsMadeWithItsParentsOrTheSystemSaysWhyNot) {
    QTemporaryDir dir;
    EXPECT_EQ(prepareFolder(dir.filePath("Videos/deep/Brisolet")), std::nullopt);
    EXPECT_TRUE(QDir(dir.filePath("Videos/deep/Brisolet")).exists());
    const ReadOnlyFolder volume(dir.filePath("volume"));
    ASSERT_TRUE(volume.ready());
    EXPECT_EQ(prepareFolder(dir.filePath("volume")), "Not writable: " + dir.filePath("volume"));
    const QStringList lines =
        prepareFolder(dir.filePath("volume/Brisolet")).value_or("").split('\n');
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[0], dir.filePath("volume/Brisolet"));
    // Read-only file system for root, permission denied for anyone else.
    const auto said = [&](int code) {
        return lines[1] == QString::fromStdString(std::generic_category().message(code));
    };
    EXPECT_TRUE(said(EROFS) || said(EACCES)) << lines[1].toStdString();
}

TEST(FolderChecks, FreeSpaceIsReadAndOnlyAKnownShortageStops) {
    QTemporaryDir dir;
    EXPECT_GT(freeBytes(dir.path()).value_or(0), 0);
    EXPECT_FALSE(freeBytes(dir.filePath("missing")));
    EXPECT_TRUE(isLowOnSpace(int64_t{299'999'999}));
    EXPECT_FALSE(isLowOnSpace(int64_t{300'000'000}));
    EXPECT_FALSE(isLowOnSpace(std::nullopt));
}

}  // namespace
}  // namespace vantorel::testing
