#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "platform/preference_store.h"
#include "prefs/preferences.h"

namespace vantorel {
namespace {

class PreferencesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        Preferences::registerDefaults(store_);
        store_.setString(Preferences::kSaveFolder, folder());
        QDir().mkpath(folder());
    }
    QString folder() const { return dir_.filePath("Recordings"); }
    QString touch(const QString& name) const {
        const QString path = QDir(folder()).filePath(name);
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        return path;
    }

    QTemporaryDir dir_;
    PreferenceStore store_{dir_.filePath("config/preferences.json")};
};

TEST_F(PreferencesTest, DefaultsWithNothingWritten) {
    PreferenceStore fresh(dir_.filePath("fresh.json"));
    Preferences::registerDefaults(fresh);
    EXPECT_EQ(fresh.integer(Preferences::kFrameRate), 30);
    EXPECT_TRUE(fresh.boolean(Preferences::kShowsCursor));
    EXPECT_FALSE(fresh.boolean(Preferences::kRecordSystemSound));
    EXPECT_EQ(fresh.integer(Preferences::kCountdownSeconds), 3);
    const QString videos = QStandardPaths::writableLocation(QStandardPaths::MoviesLocation);
    EXPECT_EQ(Preferences::saveFolder(fresh), QDir(videos).filePath("Brisolet"));
    EXPECT_FALSE(Preferences::lastSize(fresh));
}

TEST_F(PreferencesTest, EmptySaveFolderFallsBackToTheDefault) {
    store_.setString(Preferences::kSaveFolder, "");
    EXPECT_EQ(Preferences::saveFolder(store_), Preferences::defaultFolder());
    EXPECT_TRUE(Preferences::defaultFolder().endsWith("/Brisolet"));
}

TEST_F(PreferencesTest, FileNamesCountUpWhileTaken) {
    const QDateTime moment(QDate(2025, 1, 31), QTime(9, 5, 7));
    const QString base = QDir(folder()).filePath("Screen Recording 2025-01-31 at 09.05.07");
    EXPECT_EQ(Preferences::nextFileURL(store_, moment), base + ".mp4");
    EXPECT_EQ(Preferences::nextFileURL(store_, moment), base + ".mp4")
        << "only a name; nothing created";
    touch("Screen Recording 2025-01-31 at 09.05.07.mp4");
    EXPECT_EQ(Preferences::nextFileURL(store_, moment), base + " (2).mp4");
    // A directory takes the name just as a file does.
    QDir().mkpath(base + " (2).mp4");
    EXPECT_EQ(Preferences::nextFileURL(store_, moment), base + " (3).mp4");
}

TEST_F(PreferencesTest, RecentsAreCappedMovedToFrontAndFilteredOnRead) {
    QStringList paths;
    for (int i = 1; i <= 6; ++i) {
        paths.append(touch(QString("r%1.mp4").arg(i)));
        Preferences::addRecent(store_, paths.last());
    }
    EXPECT_EQ(store_.stringList(Preferences::kRecentRecordings)->size(), 5)
        << "the oldest fell off";
    EXPECT_EQ(Preferences::recents(store_).first(), paths[5]);
    EXPECT_FALSE(Preferences::recents(store_).contains(paths[0]));

    Preferences::addRecent(store_, paths[2]);  // already listed: moves to the front, no duplicate
    EXPECT_EQ(Preferences::recents(store_),
              QStringList({paths[2], paths[5], paths[4], paths[3], paths[1]}));

    QFile::remove(paths[4]);  // hidden when read, but still holds its stored place
    EXPECT_EQ(Preferences::recents(store_), QStringList({paths[2], paths[5], paths[3], paths[1]}));
    EXPECT_EQ(store_.stringList(Preferences::kRecentRecordings)->size(), 5);
}

TEST_F(PreferencesTest, LastSizeNeedsBothSidesPositive) {
    store_.setInteger(Preferences::kLastWidth, 1280);
    EXPECT_FALSE(Preferences::lastSize(store_));
    store_.setInteger(Preferences::kLastHeight, 0);
    EXPECT_FALSE(Preferences::lastSize(store_));
    store_.setInteger(Preferences::kLastHeight, 720);
    EXPECT_EQ(Preferences::lastSize(store_), std::make_pair(int64_t{1280}, int64_t{720}));
}

}  // namespace
}  // namespace vantorel
