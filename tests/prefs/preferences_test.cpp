#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "gtest_qt_printing.h"
#include "platform/preference_store.h"
#include "prefs/preferences.h"
#include "read_only_folder.h"

// The settings, the recordings' names and places, and a preference file that is not the
// program's alone: broken, read-only or edited by hand.
namespace vantorel::testing {
namespace {

class PreferencesTest : public ::testing::Test {
  protected:
    void SetUp() override { Preferences::setDefaults(store_); }
    QString write(const QString& name, const QByteArray& bytes = {}) {
        QFile file(QDir(dir_.path()).filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return file.fileName();
    }
    QJsonObject onDisk() const {
        QFile file(path_);
        file.open(QIODevice::ReadOnly);
        return QJsonDocument::fromJson(file.readAll()).object();
    }

    QTemporaryDir dir_;
    QString path_ = dir_.filePath("preferences.json");
    PreferenceStore store_{dir_.filePath("in-use.json")};
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
    write(base + ".mp4");
    QDir().mkpath(base + " (2).mp4");
    EXPECT_EQ(Preferences::nextFilePath(store_, moment), base + " (3).mp4");
    QLocale::setDefault(before);
}

TEST_F(PreferencesTest, RecentsAreTheFiveLatestThatStillExistAndTheLastSizeHasTwoSides) {
    QStringList paths;
    for (int i = 1; i <= 6; ++i) {
        paths.append(write(QString("r%1.mp4").arg(i)));
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

TEST_F(PreferencesTest, ABrokenFileIsKeptAsideAndNeverWrittenOver) {
    write("preferences.json", "{\"frameRate\": 60, oops");
    PreferenceStore store(path_);
    EXPECT_EQ(store.integer("frameRate"), 0);
    store.setInteger("frameRate", 30);
    QFile aside(store.setAsidePath().value_or(""));
    ASSERT_TRUE(aside.open(QIODevice::ReadOnly));
    EXPECT_EQ(aside.readAll(), "{\"frameRate\": 60, oops");
    EXPECT_EQ(PreferenceStore(path_).integer("frameRate"), 30);
}

// The edit is read, and the next change made through the program keeps it.
TEST_F(PreferencesTest, AHandEditWhileRunningIsReadAndKept) {
    PreferenceStore store(path_);
    store.setInteger("frameRate", 60);
    write("preferences.json", R"({"frameRate": "30", "saveFolder": "/media/usb"})");
    EXPECT_EQ(store.integer("frameRate"), 30) << "a number typed as text counts";
    store.setBoolean("recordSystemSound", true);
    EXPECT_EQ(onDisk().value("saveFolder").toString(), "/media/usb");
    EXPECT_TRUE(onDisk().value("recordSystemSound").toBool());
}

TEST_F(PreferencesTest, AReadOnlyFileIsReadButNeverReplaced) {
    write("preferences.json", R"({"frameRate": 60})");
    {
        const ReadOnlyFolder folder(dir_.path());
        ASSERT_TRUE(folder.ready());
        PreferenceStore store(path_);
        EXPECT_EQ(store.integer("frameRate"), 60);
        store.setInteger("frameRate", 30);
        EXPECT_EQ(store.integer("frameRate"), 30) << "kept for the session";
    }
    EXPECT_EQ(onDisk().value("frameRate").toInt(), 60);
}

}  // namespace
}  // namespace vantorel::testing
