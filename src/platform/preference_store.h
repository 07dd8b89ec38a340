#pragma once

#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

namespace vantorel {

// The per-user preference store: written values kept in a JSON file, over a registration layer
// of defaults that lives only in memory. Reading a key with neither gives the type's empty value.
//
// The file is replaced atomically on every write. A file that cannot be read or parsed never
// stops the program: the store starts empty, the file is moved aside (or, when that fails, left
// alone and never written over), and the values written in this session stay in memory.
// Main thread only.
class PreferenceStore {
  public:
    // The store of the current user: Vantorel/preferences.json under the XDG config directory.
    static QString defaultPath();

    explicit PreferenceStore(QString filePath);

    void registerDefaults(const QJsonObject& defaults);

    // Typed reads, coercing compatible types the way a user-edited file may hold them.
    int64_t integer(const QString& key) const;
    bool boolean(const QString& key) const;
    std::optional<QString> string(const QString& key) const;
    // The list when the value is a list of strings, otherwise nothing.
    std::optional<QStringList> stringList(const QString& key) const;

    void setInteger(const QString& key, int64_t value);
    void setBoolean(const QString& key, bool value);
    void setString(const QString& key, const QString& value);
    void setStringList(const QString& key, const QStringList& value);

    const QString& filePath() const { return filePath_; }
    // Where an unreadable file was moved, if one was.
    const std::optional<QString>& setAsidePath() const { return setAsidePath_; }
    // False when the file on disk must not be replaced (unreadable and kept in place, or
    // read-only); values are then kept for this session only.
    bool persists() const { return persists_; }

  private:
    QJsonValue lookup(const QString& key) const;
    void set(const QString& key, const QJsonValue& value);
    void load();
    void setAside();
    void save();

    QString filePath_;
    QJsonObject values_;
    QJsonObject defaults_;
    std::optional<QString> setAsidePath_;
    bool persists_ = true;
};

}  // namespace vantorel
