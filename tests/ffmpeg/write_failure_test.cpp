// Write errors: the writer fails with the system's message.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <cstring>
#include <fstream>
#include <string>

#include "platform/ffmpeg/ffmpeg_writer_factory.h"
#include "writer_harness.h"

namespace vantorel::testing {
namespace {

// Writes noise, which needs several megabytes, and finishes.
void writeNoise(OpenWriter& open) {
    for (int i = 0; i < 60; ++i) {
        if (!open.video->append(
                videoSample(i / 30.0, noisePixels(320, 240, static_cast<unsigned>(i))))) {
            break;  // refused once the writer has failed
        }
    }
    finishWriter(open, 2.0);
}

VideoOutputSettings greedySettings() {
    VideoOutputSettings settings = videoSettings(320, 240);
    settings.compression.averageBitRate = 40'000'000;
    return settings;
}

void expectPosixFailure(const MediaWriter& writer, int code, const std::string& message) {
    EXPECT_EQ(writer.status(), WriterStatus::failed);
    const PlatformError* error = asPlatformError(writer.error());
    ASSERT_NE(error, nullptr);
    EXPECT_EQ(error->domain(), "POSIX");
    EXPECT_EQ(error->code(), code);
    EXPECT_EQ(error->message(), message);
    EXPECT_EQ(writer.error()->textualDescription(), message);
}

void expectDiskFull(const MediaWriter& writer) {
    expectPosixFailure(writer, ENOSPC, "No space left on device");
}

// A file that appeared at the path, or a device, is never opened, truncated or removed.
TEST(WriteFailure, AnythingAlreadyAtThePathIsLeftAlone) {
    ScratchFolder folder;
    const std::filesystem::path taken = folder.file("taken.mp4");
    std::ofstream(taken) << "someone else's";
    for (const std::filesystem::path& path : {taken, std::filesystem::path("/dev/full")}) {
        ErrorRef error;
        EXPECT_FALSE(FfmpegWriterFactory().makeWriter(path, error)) << path;
        const PlatformError* platform = asPlatformError(error);
        ASSERT_NE(platform, nullptr);
        EXPECT_EQ(platform->code(), EEXIST);
    }
    std::string content;
    std::getline(std::ifstream(taken), content);
    EXPECT_EQ(content, "someone else's");
    struct stat device {};
    ASSERT_EQ(stat("/dev/full", &device), 0);
    EXPECT_TRUE(S_ISCHR(device.st_mode));
}

// A file-size limit makes writes fail part way through the recording, with EFBIG.
TEST(WriteFailure, AWriteErrorWhileRecordingFailsTheWriter) {
    ScratchFolder folder;
    rlimit previous{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &previous), 0);
    // Without this the kernel ends the process with SIGXFSZ instead of failing the write.
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = previous;
    limited.rlim_cur = 256 * 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    {
        OpenWriter open = openWriter(folder.file("limited.mp4"), greedySettings(), true);
        EXPECT_TRUE(open.writer);
        if (open.writer) {
            writeNoise(open);
            expectPosixFailure(*open.writer, EFBIG, "File too large");
        }
    }
    setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, previousHandler);
}

// A real file system that fills up: a 1 MiB tmpfs.
TEST(WriteFailure, AFullFileSystemFailsTheWriterWithTheSystemsMessage) {
    ScratchFolder folder;
    if (mount("tmpfs", folder.path().c_str(), "tmpfs", 0, "size=1m") != 0) {
        GTEST_SKIP() << "cannot mount a small tmpfs here: " << std::strerror(errno);
    }
    {
        OpenWriter open = openWriter(folder.file("full.mp4"), greedySettings(), true);
        ASSERT_TRUE(open.writer);
        writeNoise(open);
        expectDiskFull(*open.writer);
    }
    umount2(folder.path().c_str(), MNT_DETACH);
}

}  // namespace
}  // namespace vantorel::testing
