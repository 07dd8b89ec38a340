#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <utility>

namespace vantorel {

class PreferenceStore;

// The stored settings and the recordings' names and places. Stateless: every operation reads
// the store afresh, so a change made by one caller is seen by the next read. Main thread only.
namespace Preferences {

inline constexpr const char* kFrameRate = "frameRate";
inline constexpr const char* kShowsCursor = "showsCursor";
inline constexpr const char* kRecordSystemSound = "recordSystemSound";
inline constexpr const char* kCountdownSeconds = "countdownSeconds";
inline constexpr const char* kSaveFolder = "saveFolder";
inline constexpr const char* kRecentRecordings = "recentRecordings";
inline constexpr const char* kLastWidth = "lastWidth";
inline constexpr const char* kLastHeight = "lastHeight";

inline constexpr int kMaxRecents = 5;

// Gives every setting its value for a user who never chose one.
void setDefaults(PreferenceStore& store);

// The folder recordings go into: the stored one, or the default folder.
QString saveFolder(const PreferenceStore& store);
// "Brisolet" in the user's videos folder (XDG_VIDEOS_DIR), else in ~/Videos.
QString defaultFolder();

// "Screen Recording <yyyy-MM-dd> at <HH.mm.ss>.mp4" in the save folder for the local time `now`,
// with " (2)", " (3)" ... before the extension while the name is taken. Creates nothing.
QString nextFilePath(const PreferenceStore& store,
                     const QDateTime& now = QDateTime::currentDateTime());

// The stored recent recordings that still exist, most recent first.
QStringList recents(const PreferenceStore& store);
void addRecent(PreferenceStore& store, const QString& path);

// The pixel size of the last recording, if both sides are positive.
std::optional<std::pair<int64_t, int64_t>> lastSize(const PreferenceStore& store);

}  // namespace Preferences

}  // namespace vantorel
