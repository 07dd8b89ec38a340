#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace vantorel::mp4 {

// What a look through the save folder found.
struct RecoveryReport {
    // Recordings that had been cut off and are now ordinary files again.
    std::vector<std::filesystem::path> recovered;
    // Recordings that had been cut off and could not be finished, with why; left as they were.
    std::vector<std::pair<std::filesystem::path, std::string>> unrecoverable;
};

// Whether the MP4 file at `path` is one of our recordings that was cut off while being written:
// it still carries the in-progress marker right after its header. Other files, whatever they
// hold, are never ours to touch.
bool isCutOffRecording(const std::filesystem::path& path);

// Finishes every cut-off recording directly in `folder` that was last written before
// `writtenBefore` (see finishRecordingFile): a recording started since is still being written,
// not cut off. Never removes a file, and leaves untouched every file it cannot finish.
RecoveryReport recoverRecordings(const std::filesystem::path& folder,
                                 std::filesystem::file_time_type writtenBefore);

}  // namespace vantorel::mp4
