#include <gtest/gtest.h>

#include <sys/mount.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include "platform/preference_store.h"

namespace vantorel {
namespace {

class PreferenceStoreTest : public ::testing::Test {
  protected:
    QString path() const { return dir_.filePath("Vantorel/preferences.json"); }
    void writeFile(const QByteArray& bytes) {
        QDir().mkpath(dir_.filePath("Vantorel"));
        QFile file(path());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    QByteArray readFile() const {
        QFile file(path());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QTemporaryDir dir_;
};

TEST_F(PreferenceStoreTest, MissingFileReadsEmptyAndDefaultsFillIn) {
    PreferenceStore store(path());
    EXPECT_EQ(store.integer("frameRate"), 0);
    EXPECT_FALSE(store.boolean("showsCursor"));
    EXPECT_FALSE(store.string("saveFolder"));
    EXPECT_FALSE(store.stringList("recentRecordings"));
    store.registerDefaults(QJsonObject{{"frameRate", 30}, {"showsCursor", true}});
    EXPECT_EQ(store.integer("frameRate"), 30);
    EXPECT_TRUE(store.boolean("showsCursor"));
    EXPECT_FALSE(QFile::exists(path())) << "defaults are never written";
}

TEST_F(PreferenceStoreTest, WrittenValuesSurviveARestartAndWinOverDefaults) {
    {
        PreferenceStore store(path());
        store.registerDefaults(QJsonObject{{"frameRate", 30}});
        store.setInteger("frameRate", 60);
        store.setBoolean("showsCursor", false);
        store.setString("saveFolder", "/tmp/x");
        store.setStringList("recentRecordings", {"/a.mp4", "/b.mp4"});
    }
    PreferenceStore again(path());
    again.registerDefaults(QJsonObject{{"frameRate", 30}, {"showsCursor", true}});
    EXPECT_EQ(again.integer("frameRate"), 60);
    EXPECT_FALSE(again.boolean("showsCursor"));
    EXPECT_EQ(again.string("saveFolder"), QString("/tmp/x"));
    EXPECT_EQ(again.stringList("recentRecordings"), QStringList({"/a.mp4", "/b.mp4"}));
    EXPECT_FALSE(QFile::exists(path() + ".unreadable"));
}

TEST_F(PreferenceStoreTest, EmptyFileReadsAsEmpty) {
    writeFile("");
    PreferenceStore store(path());
    EXPECT_EQ(store.integer("frameRate"), 0);
    EXPECT_FALSE(store.setAsidePath());
    store.setInteger("frameRate", 60);
    EXPECT_EQ(PreferenceStore(path()).integer("frameRate"), 60);
}

TEST_F(PreferenceStoreTest, CorruptFileIsKeptAsideAndNeverOverwritten) {
    const QByteArray corrupt = "{\"frameRate\": 60, oops";
    writeFile(corrupt);
    PreferenceStore store(path());
    EXPECT_EQ(store.integer("frameRate"), 0);
    ASSERT_TRUE(store.setAsidePath());
    store.setInteger("frameRate", 30);
    QFile aside(*store.setAsidePath());
    ASSERT_TRUE(aside.open(QIODevice::ReadOnly));
    EXPECT_EQ(aside.readAll(), corrupt);
    EXPECT_EQ(PreferenceStore(path()).integer("frameRate"), 30);
}

// The file edited by hand while the program runs: the edit is read, and the next change made
// through the program keeps it instead of writing the old values back.
TEST_F(PreferenceStoreTest, AHandEditWhileRunningIsReadAndKept) {
    PreferenceStore store(path());
    store.setInteger("frameRate", 60);
    writeFile(R"({"frameRate": 30, "showsCursor": false, "saveFolder": "/media/usb"})");
    EXPECT_EQ(store.integer("frameRate"), 30);
    store.setBoolean("recordSystemSound", true);
    const QJsonObject onDisk = QJsonDocument::fromJson(readFile()).object();
    EXPECT_EQ(onDisk.value("saveFolder").toString(), "/media/usb");
    EXPECT_EQ(onDisk.value("frameRate").toInt(), 30);
    EXPECT_TRUE(onDisk.value("recordSystemSound").toBool());
}

TEST_F(PreferenceStoreTest, ValuesOfTheWrongShapeReadAsEmptyOrCoerced) {
    writeFile(R"({"recentRecordings": ["/a.mp4", 3], "frameRate": "60", "showsCursor": 1,
                 "lastWidth": 1280.0, "saveFolder": ["x"]})");
    PreferenceStore store(path());
    EXPECT_FALSE(store.stringList("recentRecordings"));
    EXPECT_EQ(store.integer("frameRate"), 60);
    EXPECT_TRUE(store.boolean("showsCursor"));
    EXPECT_EQ(store.integer("lastWidth"), 1280);
    EXPECT_FALSE(store.string("saveFolder"));
}

TEST_F(PreferenceStoreTest, AReadOnlyFileIsReadButNotReplaced) {
    writeFile(R"({"frameRate": 60})");
    const QString folder = dir_.filePath("Vantorel");
    // As root, mode bits don't stop writes: use a read-only mount of the folder instead.
    const bool asRoot = ::geteuid() == 0;
    if (asRoot) {
        ASSERT_EQ(::mount(folder.toUtf8().constData(), folder.toUtf8().constData(), nullptr,
                          MS_BIND, nullptr),
                  0);
        ASSERT_EQ(::mount(nullptr, folder.toUtf8().constData(), nullptr,
                          MS_BIND | MS_REMOUNT | MS_RDONLY, nullptr),
                  0);
    } else {
        QFile::setPermissions(path(), QFileDevice::ReadOwner);
    }
    {
        PreferenceStore store(path());
        EXPECT_EQ(store.integer("frameRate"), 60);
        EXPECT_FALSE(store.persists());
        store.setInteger("frameRate", 30);
        EXPECT_EQ(store.integer("frameRate"), 30) << "kept for the session";
    }
    if (asRoot) {
        ::umount(folder.toUtf8().constData());
    }
    EXPECT_EQ(QJsonDocument::fromJson(readFile()).object().value("frameRate").toInt(), 60);
}

}  // namespace
}  // namespace vantorel
