#include "platform/preference_store.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>
#include <QStandardPaths>

#include <sys/stat.h>

namespace vantorel {

QString PreferenceStore::defaultPath() {
    // GenericConfigLocation is $XDG_CONFIG_HOME, or ~/.config when that is unset.
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           "/Vantorel/preferences.json";
}

PreferenceStore::PreferenceStore(QString filePath) : filePath_(std::move(filePath)) {
    load();
}

void PreferenceStore::setDefaults(const QJsonObject& defaults) {
    for (auto it = defaults.begin(); it != defaults.end(); ++it) {
        defaults_.insert(it.key(), it.value());
    }
}

QJsonValue PreferenceStore::lookup(const QString& key) const {
    refresh();
    if (values_.contains(key)) {
        return values_.value(key);
    }
    return defaults_.value(key);
}

int64_t PreferenceStore::integer(const QString& key) const {
    const QJsonValue value = lookup(key);
    if (value.isDouble()) {
        return value.toInteger(static_cast<qint64>(value.toDouble()));
    }
    if (value.isBool()) {
        return value.toBool() ? 1 : 0;
    }
    if (value.isString()) {
        // A number typed by hand as text: its leading integer, or 0.
        bool ok = false;
        const qlonglong parsed = value.toString().trimmed().toLongLong(&ok);
        return ok ? parsed : 0;
    }
    return 0;
}

bool PreferenceStore::boolean(const QString& key) const {
    const QJsonValue value = lookup(key);
    if (value.isBool()) {
        return value.toBool();
    }
    if (value.isDouble()) {
        return value.toDouble() != 0.0;
    }
    if (value.isString()) {
        const QString text = value.toString().trimmed().toLower();
        return text == "true" || text == "yes" || text == "1";
    }
    return false;
}

std::optional<QString> PreferenceStore::string(const QString& key) const {
    const QJsonValue value = lookup(key);
    if (value.isString()) {
        return value.toString();
    }
    if (value.isDouble()) {
        return QString::number(value.toDouble());
    }
    return std::nullopt;
}

std::optional<QStringList> PreferenceStore::stringList(const QString& key) const {
    const QJsonValue value = lookup(key);
    if (!value.isArray()) {
        return std::nullopt;
    }
    QStringList list;
    for (const QJsonValue& entry : value.toArray()) {
        if (!entry.isString()) {
            return std::nullopt;
        }
        list.append(entry.toString());
    }
    return list;
}

void PreferenceStore::setInteger(const QString& key, int64_t value) {
    set(key, QJsonValue(static_cast<qint64>(value)));
}
void PreferenceStore::setBoolean(const QString& key, bool value) {
    set(key, QJsonValue(value));
}
void PreferenceStore::setString(const QString& key, const QString& value) {
    set(key, QJsonValue(value));
}
void PreferenceStore::setStringList(const QString& key, const QStringList& value) {
    set(key, QJsonArray::fromStringList(value));
}

void PreferenceStore::set(const QString& key, const QJsonValue& value) {
    refresh();
    values_.insert(key, value);
    save();
}

PreferenceStore::FileStamp PreferenceStore::stampOfFile() const {
    struct stat info {};
    if (::stat(QFile::encodeName(filePath_).constData(), &info) != 0) {
        return FileStamp{};
    }
    return FileStamp{true, int64_t{info.st_mtim.tv_sec} * 1'000'000'000 + info.st_mtim.tv_nsec,
                     static_cast<int64_t>(info.st_size), static_cast<uint64_t>(info.st_ino)};
}

void PreferenceStore::refresh() const {
    if (stampOfFile() != stamp_) {
        load();
    }
}

void PreferenceStore::load() const {
    values_ = QJsonObject();
    persists_ = true;
    stamp_ = stampOfFile();
    QFile file(filePath_);
    if (!stamp_.exists) {
        return;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        setAside();
        return;
    }
    const QByteArray bytes = file.readAll();
    file.close();
    if (bytes.trimmed().isEmpty()) {
        return;  // an empty file holds nothing worth keeping
    }
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        setAside();
        return;
    }
    values_ = document.object();
    // Respect a file the user made read-only: keep its values, write nothing over it.
    persists_ = QFileInfo(filePath_).isWritable();
}

void PreferenceStore::setAside() const {
    const QString stamp = QDateTime::currentDateTime().toString("yyyyMMdd-HHmmss");
    const QString aside = filePath_ + ".unreadable-" + stamp;
    if (QFile::rename(filePath_, aside)) {
        setAsidePath_ = aside;
        stamp_ = stampOfFile();  // no file now: the values of this session are what counts
    } else {
        persists_ = false;  // cannot move it away, so never write over it
    }
}

void PreferenceStore::save() {
    if (!persists_) {
        return;
    }
    QDir().mkpath(QFileInfo(filePath_).absolutePath());
    QSaveFile file(filePath_);
    if (!file.open(QIODevice::WriteOnly)) {
        return;  // a store that cannot be written keeps its values for this session
    }
    file.write(QJsonDocument(values_).toJson(QJsonDocument::Indented));
    if (file.commit()) {
        stamp_ = stampOfFile();
    }
}

}  // namespace vantorel
