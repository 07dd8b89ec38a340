#include "prefs/preferences.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonObject>
#include <QLocale>
#include <QStandardPaths>

#include "platform/preference_store.h"

namespace vantorel::Preferences {

namespace {

bool existsAt(const QString& path) {
    return QFileInfo::exists(path);
}

}  // namespace

void setDefaults(PreferenceStore& store) {
    store.setDefaults(QJsonObject{
        {kFrameRate, 30},
        {kShowsCursor, true},
        {kRecordSystemSound, false},
        {kCountdownSeconds, 3},
    });
}

QString saveFolder(const PreferenceStore& store) {
    const std::optional<QString> stored = store.string(kSaveFolder);
    if (stored && !stored->isEmpty()) {
        return QDir::cleanPath(*stored);
    }
    return defaultFolder();
}

QString defaultFolder() {
    QString videos = QStandardPaths::writableLocation(QStandardPaths::MoviesLocation);
    if (videos.isEmpty()) {
        videos = QDir::homePath() + "/Videos";
    }
    return QDir(videos).filePath("Brisolet");
}

QString nextFilePath(const PreferenceStore& store, const QDateTime& now) {
    // The C locale keeps the digits and separators fixed whatever the user's language.
    const QString stamp = QLocale::c().toString(now.toLocalTime(), "yyyy-MM-dd 'at' HH.mm.ss");
    const QString base = "Screen Recording " + stamp;
    const QDir folder(saveFolder(store));
    QString candidate = folder.filePath(base + ".mp4");
    // Any existing entry, a directory included, takes the name.
    for (int64_t n = 2; existsAt(candidate); ++n) {
        candidate = folder.filePath(base + " (" + QString::number(n) + ").mp4");
    }
    return candidate;
}

QStringList recents(const PreferenceStore& store) {
    QStringList existing;
    for (const QString& path : store.stringList(kRecentRecordings).value_or(QStringList())) {
        if (existsAt(path)) {
            existing.append(path);
        }
    }
    return existing;
}

void addRecent(PreferenceStore& store, const QString& path) {
    QStringList list = store.stringList(kRecentRecordings).value_or(QStringList());
    list.removeAll(path);
    list.prepend(path);
    while (list.size() > kMaxRecents) {
        list.removeLast();
    }
    store.setStringList(kRecentRecordings, list);
}

std::optional<std::pair<int64_t, int64_t>> lastSize(const PreferenceStore& store) {
    const int64_t width = store.integer(kLastWidth);
    const int64_t height = store.integer(kLastHeight);
    if (width < 1 || height < 1) {
        return std::nullopt;
    }
    return std::make_pair(width, height);
}

}  // namespace vantorel::Preferences
