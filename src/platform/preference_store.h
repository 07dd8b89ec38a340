#pragma once

#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

namespace vantorel {

// The per-user preference store: written values kept in a JSON file, over a layer of defaults
// that lives only in memory. Reading a key with neither gives the type's empty value.
//
// The file is replaced atomically on every write, and read again whenever it changed on disk
// since (a hand edit while the program runs is seen at the next read and kept by the next
// write). A file that cannot be read or parsed never stops the program: the store starts empty,
// the file is moved aside (or, when that fails, left alone and never written over), and the
// values written in this session stay in memory. Main thread only.
class PreferenceStore {
  public:
    // The store of the current user: Vantorel/preferences.json under the XDG config directory.
    static QString defaultPath();

    explicit PreferenceStore(QString filePath);

    void setDefaults(const QJsonObject& defaults);

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

    // Where an unreadable file was moved, if one was.
    const std::optional<QString>& setAsidePath() const { return setAsidePath_; }

  private:
    // What tells that the file was replaced or edited since it was last read or written.
    struct FileStamp {
        bool exists = false;
        int64_t modifiedNs = 0;
        int64_t size = 0;
        uint64_t inode = 0;
        friend bool operator==(const FileStamp&, const FileStamp&) = default;
    };

    QJsonValue lookup(const QString& key) const;
    void set(const QString& key, const QJsonValue& value);
    FileStamp stampOfFile() const;
    // Reads the file again when it is not the one last read or written.
    void refresh() const;
    void load() const;
    void setAside() const;
    void save();

    QString filePath_;
    // The file's contents as last read or written; read afresh on a change, so const reads may
    // update them.
    mutable QJsonObject values_;
    mutable FileStamp stamp_;
    mutable std::optional<QString> setAsidePath_;
    // False when the file on disk must not be replaced (unreadable and kept in place, or
    // read-only); values are then kept for this session only.
    mutable bool persists_ = true;
    QJsonObject defaults_;
};

}  // namespace vantorel
