// Creating, starting, finishing and cancelling FFmpeg writers, on real files.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <future>
#include <thread>

#include "media_probe.h"
#include "platform/ffmpeg/ffmpeg_writer_factory.h"
#include "writer_harness.h"

namespace vantorel::testing {
namespace {

struct UnwritableCase {
    const char* name;
    int expectedErrno;
};

std::shared_ptr<MediaWriter> makeWriter(const std::filesystem::path& file, ErrorRef& error) {
    return FfmpegWriterFactory(kRoomyQueues).makeWriter(file, error);
}

void expectPosixError(const ErrorRef& error, int code) {
    const PlatformError* platform = asPlatformError(error);
    ASSERT_NE(platform, nullptr);
    EXPECT_EQ(platform->domain(), "POSIX");
    EXPECT_EQ(platform->code(), code);
    EXPECT_EQ(platform->message(), std::generic_category().message(code));
}

TEST(WriterCreation, FailsWithTheSystemsReasonWhenTheFolderIsMissing) {
    ScratchFolder folder;
    ErrorRef error;
    EXPECT_FALSE(makeWriter(folder.path() / "missing" / "a.mp4", error));
    expectPosixError(error, ENOENT);
}

TEST(WriterCreation, FailsWhenTheFolderIsAFile) {
    ScratchFolder folder;
    std::ofstream(folder.file("plain")) << "x";
    ErrorRef error;
    EXPECT_FALSE(makeWriter(folder.file("plain") / "a.mp4", error));
    expectPosixError(error, ENOTDIR);
}

TEST(WriterCreation, FailsWhenTheFolderIsReadOnly) {
    ScratchFolder folder;
    const auto readOnly = folder.file("ro");
    std::filesystem::create_directory(readOnly);
    int expected = EACCES;
    bool mounted = false;
    if (geteuid() == 0) {
        // Permissions do not stop root; a read-only file system does.
        if (mount("tmpfs", readOnly.c_str(), "tmpfs", MS_RDONLY, "size=64k") != 0) {
            GTEST_SKIP() << "cannot mount a read-only tmpfs here: " << std::strerror(errno);
        }
        mounted = true;
        expected = EROFS;
    } else {
        std::filesystem::permissions(
            readOnly, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    }
    ErrorRef error;
    EXPECT_FALSE(makeWriter(readOnly / "a.mp4", error));
    expectPosixError(error, expected);
    if (mounted) {
        umount2(readOnly.c_str(), MNT_DETACH);
    }
}

TEST(WriterCreation, CreatesTheFileAtOnceAndRemovesItWhenDroppedUnstarted) {
    ScratchFolder folder;
    const auto file = folder.file("early.mp4");
    ErrorRef error;
    auto writer = makeWriter(file, error);
    ASSERT_TRUE(writer);
    EXPECT_EQ(error, nullptr);
    EXPECT_EQ(writer->status(), WriterStatus::unknown);
    EXPECT_TRUE(std::filesystem::exists(file));
    writer.reset();
    EXPECT_FALSE(std::filesystem::exists(file));
}

TEST(WriterStart, FailsWithoutTracksAndRemovesTheEmptyFile) {
    ScratchFolder folder;
    const auto file = folder.file("empty.mp4");
    ErrorRef error;
    auto writer = makeWriter(file, error);
    ASSERT_TRUE(writer);
    EXPECT_FALSE(writer->startWriting());
    EXPECT_EQ(writer->status(), WriterStatus::failed);
    EXPECT_NE(writer->error(), nullptr);
    EXPECT_FALSE(std::filesystem::exists(file));
}

TEST(WriterInputs, AcceptsOneTrackOfEachKindOfItsOwnBeforeStarting) {
    ScratchFolder folder;
    ErrorRef error;
    auto writer = makeWriter(folder.file("a.mp4"), error);
    auto other = makeWriter(folder.file("b.mp4"), error);
    ASSERT_TRUE(writer && other);

    auto video = writer->makeVideoInput(videoSettings(64, 64));
    auto secondVideo = writer->makeVideoInput(videoSettings(64, 64));
    auto foreign = other->makeVideoInput(videoSettings(64, 64));
    AudioOutputSettings notAac;
    notAac.formatID = 0x6C70636D;  // 'lpcm'
    AudioOutputSettings oddRate;
    oddRate.sampleRate = 12345;
    VideoOutputSettings empty = videoSettings(0, 64);

    EXPECT_EQ(video->mediaType(), MediaType::video);
    EXPECT_FALSE(writer->canAddInput(*foreign));
    EXPECT_FALSE(writer->canAddInput(*writer->makeAudioInput(notAac)));
    EXPECT_FALSE(writer->canAddInput(*writer->makeAudioInput(oddRate)));
    EXPECT_FALSE(writer->canAddInput(*writer->makeVideoInput(empty)));
    EXPECT_TRUE(writer->canAddInput(
        *writer->makeVideoInput(videoSettings(5000, 64, 30, VideoCodec::hevc))));
    ASSERT_TRUE(writer->canAddInput(*video));
    writer->addInput(video);
    EXPECT_FALSE(writer->canAddInput(*video));
    EXPECT_FALSE(writer->canAddInput(*secondVideo));

    auto audio = writer->makeAudioInput(AudioOutputSettings{});
    EXPECT_EQ(audio->mediaType(), MediaType::audio);
    ASSERT_TRUE(writer->canAddInput(*audio));
    ASSERT_TRUE(writer->startWriting());
    EXPECT_EQ(writer->status(), WriterStatus::writing);
    EXPECT_FALSE(writer->canAddInput(*audio));
    EXPECT_FALSE(writer->startWriting());
    writer->cancelWriting();
}

TEST(WriterFinish, CompletesOnTheWritersOwnThread) {
    ScratchFolder folder;
    const auto file = folder.file("done.mp4");
    OpenWriter open = openWriter(file, videoSettings(64, 64), true);
    ASSERT_TRUE(open.writer);
    ASSERT_TRUE(open.video->append(videoSample(0, solidPixels(64, 64, {}))));
    const std::string thread = finishWriter(open, 0.5);
    EXPECT_EQ(thread, "Vantorel.writer");
    EXPECT_EQ(open.writer->status(), WriterStatus::completed);
    EXPECT_EQ(open.writer->error(), nullptr);
    EXPECT_TRUE(MediaProbe(file).duration());
}

TEST(WriterFinish, TheWriterMayBeReleasedByItsOwnCompletion) {
    ScratchFolder folder;
    const auto file = folder.file("released.mp4");
    OpenWriter open = openWriter(file, videoSettings(64, 64), false);
    ASSERT_TRUE(open.writer);
    ASSERT_TRUE(open.video->append(videoSample(0, solidPixels(64, 64, {}))));
    open.video->markAsFinished();
    open.writer->endSession(hostTime(1));
    std::promise<WriterStatus> done;
    auto writer = std::move(open.writer);
    MediaWriter* raw = writer.get();
    raw->finishWriting([&done, kept = writer]() mutable {
        done.set_value(kept->status());
        kept.reset();
    });
    writer.reset();
    open.video.reset();
    EXPECT_EQ(done.get_future().get(), WriterStatus::completed);
    EXPECT_TRUE(MediaProbe(file).duration());
}

TEST(WriterCancel, StopsAtOnceWithoutAnIndex) {
    ScratchFolder folder;
    const auto file = folder.file("cancelled.mp4");
    OpenWriter open = openWriter(file, videoSettings(320, 240), true);
    ASSERT_TRUE(open.writer);
    for (int i = 0; i < 30; ++i) {
        ASSERT_TRUE(open.video->append(
            videoSample(i / 30.0, noisePixels(320, 240, static_cast<unsigned>(i)))));
    }
    open.writer->cancelWriting();
    EXPECT_EQ(open.writer->status(), WriterStatus::cancelled);
    EXPECT_FALSE(open.video->isReadyForMoreMediaData());
    EXPECT_FALSE(open.video->append(videoSample(2, noisePixels(320, 240, 99))));
    // The file is left for the caller to delete; without its index no tool can read it.
    EXPECT_TRUE(std::filesystem::exists(file));
    EXPECT_FALSE(MediaProbe(file).duration());
}

TEST(WriterCancel, ADroppedWriterStopsItsThreads) {
    ScratchFolder folder;
    OpenWriter open = openWriter(folder.file("dropped.mp4"), videoSettings(320, 240), true);
    ASSERT_TRUE(open.writer);
    for (int i = 0; i < 10; ++i) {
        ASSERT_TRUE(open.video->append(
            videoSample(i / 30.0, noisePixels(320, 240, static_cast<unsigned>(i)))));
    }
    open.writer.reset();
    EXPECT_FALSE(open.video->isReadyForMoreMediaData());
    open.video.reset();
    open.audio.reset();
}

}  // namespace
}  // namespace vantorel::testing
