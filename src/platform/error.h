#pragma once

#include <QMetaType>
#include <QString>

namespace vantorel {

// Why something failed, as the program acts on it and tells it: a kind that decides what happens
// next, one sentence for the user, and the system's own words (errno, FFmpeg, X, PulseAudio or
// D-Bus text) for the technical details. A plain value, copied freely between threads.
struct Error {
    enum class Kind {
        permissionDeclined,  // the desktop did not allow its screen to be shared
        otherMonitorShared,  // the desktop shared a monitor other than the region's
        noDisplay,           // the monitor to record is not there, or no longer
        cannotWrite,         // the file could not be created, or its encoders set up
        noFrames,            // nothing new was ever captured, so no file was kept
        writerFailed,        // writing the file failed: disk full, I/O, encoder
        captureLost,         // the display or the sound server went away while recording
        failed,              // anything else
    };

    Kind kind = Kind::failed;
    QString text;    // one sentence for the user
    QString detail;  // the system's own message; empty when there is none

    // The text for the technical details: the system's message, or the sentence when there is
    // no message of the system's.
    QString details() const { return detail.isEmpty() ? text : detail; }

    // An errno value `code` with the system's message (strerror) as the detail.
    static Error fromErrno(Kind kind, const QString& text, int code);

    friend bool operator==(const Error&, const Error&) = default;
};

}  // namespace vantorel

Q_DECLARE_METATYPE(vantorel::Error)
