#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "gtest_qt_printing.h"
#include "platform/preference_store.h"
#include "prefs/preferences.h"

namespace vantorel {
namespace {

class PreferencesTest : public ::testing::Test {
  protected:
    void SetUp() override { Preferences::setDefaults(store_); }
    QString touch(const QString& name) const {
        QFile file(QDir(dir_.path()).filePath(name));
        file.open(QIODevice::WriteOnly);
        return file.fileName();
    }

    QTemporaryDir dir_;
    PreferenceStore store_{dir_.filePath("preferences.json")};
};

TEST_F(PreferencesTest, ANewUserRecordsAtThirtyWithTheCursorAfterACountdownIntoVideos) {
    EXPECT_EQ(store_.integer(Preferences::kFrameRate), 30);
    EXPECT_TRUE(store_.boolean(Preferences::kShowsCursor));
    EXPECT_FALSE(store_.boolean(Preferences::kRecordSystemSound));
    EXPECT_NE(store_.integer(Preferences::kCountdownSeconds), 0);
    EXPECT_EQ(Preferences::saveFolder(store_),
              QDir(QStandardPaths::writableLocation(QStandardPaths::MoviesLocation))
                  .filePath("Brisolet"));
    EXPECT_FALSE(Preferences::lastSize(store_));
}

// The digits and separators stay the same in any language; a name taken, even by a folder,
// gets the next free number.
TEST_F(PreferencesTest, FileNamesAreInTheCLocaleAndCountUpWhileTaken) {
    store_.setString(Preferences::kSaveFolder, dir_.path());
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::Arabic, QLocale::Egypt));
    const QDateTime moment(QDate(2025, 1, 31), QTime(9, 5, 7));
    const QString base = dir_.filePath("Screen Recording 2025-01-31 at 09.05.07");
    EXPECT_EQ(Preferences::nextFilePath(store_, moment), base + ".mp4");
    touch(base + ".mp4");
    QDir().mkpath(base + " (2).mp4");
    EXPECT_EQ(Preferences::nextFilePath(store_, moment), base + " (3).mp4");
    QLocale::setDefault(before);
}

TEST_F(PreferencesTest, RecentsAreTheFiveLatestThatStillExistAndTheLastSizeHasTwoSides) {
    QStringList paths;
    for (int i = 1; i <= 6; ++i) {
        paths.append(touch(QString("r%1.mp4").arg(i)));
        Preferences::addRecent(store_, paths.last());
    }
    Preferences::addRecent(store_, paths[2]);  // listed already: to the front, once
    QFile::remove(paths[4]);
    EXPECT_EQ(Preferences::recents(store_), QStringList({paths[2], paths[5], paths[3], paths[1]}));
    store_.setInteger(Preferences::kLastWidth, 1280);
    EXPECT_FALSE(Preferences::lastSize(store_));
    store_.setInteger(Preferences::kLastHeight, 720);
    EXPECT_EQ(Preferences::lastSize(store_), std::pair(int64_t{1280}, int64_t{720}));
}

}  // namespace
}  // namespace vantorel
