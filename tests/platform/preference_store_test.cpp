#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include "platform/preference_store.h"
#include "read_only_folder.h"

// A preference file that is not the program's alone: broken, read-only or edited by hand.
namespace vantorel::testing {
namespace {

class PreferenceStoreTest : public ::testing::Test {
  protected:
    void write(const QByteArray& bytes) {
        QFile file(path_);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    QJsonObject onDisk() const {
        QFile file(path_);
        file.open(QIODevice::ReadOnly);
        return QJsonDocument::fromJson(file.readAll()).object();
    }

    QTemporaryDir dir_;
    QString path_ = dir_.filePath("preferences.json");
};

TEST_F(PreferenceStoreTest, ABrokenFileIsKeptAsideAndNeverWrittenOver) {
    write("{\"frameRate\": 60, oops");
    PreferenceStore store(path_);
    EXPECT_EQ(store.integer("frameRate"), 0);
    store.setInteger("frameRate", 30);
    QFile aside(store.setAsidePath().value_or(""));
    ASSERT_TRUE(aside.open(QIODevice::ReadOnly));
    EXPECT_EQ(aside.readAll(), "{\"frameRate\": 60, oops");
    EXPECT_EQ(PreferenceStore(path_).integer("frameRate"), 30);
}

// The edit is read, and the next change made through the program keeps it.
TEST_F(PreferenceStoreTest, AHandEditWhileRunningIsReadAndKept) {
    PreferenceStore store(path_);
    store.setInteger("frameRate", 60);
    write(R"({"frameRate": "30", "saveFolder": "/media/usb"})");
    EXPECT_EQ(store.integer("frameRate"), 30) << "a number typed as text counts";
    store.setBoolean("recordSystemSound", true);
    EXPECT_EQ(onDisk().value("saveFolder").toString(), "/media/usb");
    EXPECT_TRUE(onDisk().value("recordSystemSound").toBool());
}

TEST_F(PreferenceStoreTest, AReadOnlyFileIsReadButNeverReplaced) {
    write(R"({"frameRate": 60})");
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
