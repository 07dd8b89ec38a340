// The input's queue and hand-off, with an encoder that waits for the test's go-ahead.
#include "platform/ffmpeg/ffmpeg_writer_input.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>

#include "platform/ffmpeg/mp4_muxer.h"
#include "writer_harness.h"

namespace vantorel::testing {
namespace {

// What the gated encoder saw; shared with the test.
struct GateLog {
    std::mutex mutex;
    std::condition_variable changed;
    bool open = false;
    std::vector<int64_t> offsets;
    std::optional<std::optional<int64_t>> finishedWith;
    ErrorRef failWith;

    void release() {
        std::lock_guard lock(mutex);
        open = true;
        changed.notify_all();
    }
};

class GatedEncoder final : public TrackEncoder {
  public:
    GatedEncoder(MediaType type, std::shared_ptr<GateLog> log)
        : type_(type), log_(std::move(log)) {}
    MediaType mediaType() const override { return type_; }
    bool isUsable() const override { return true; }
    ErrorRef open(Mp4Muxer&) override { return nullptr; }
    ErrorRef encode(SampleBufferRef, int64_t offsetNs) override {
        std::unique_lock lock(log_->mutex);
        log_->changed.wait(lock, [this] { return log_->open; });
        log_->offsets.push_back(offsetNs);
        return log_->failWith;
    }
    ErrorRef finish(std::optional<int64_t> endNs) override {
        std::lock_guard lock(log_->mutex);
        log_->finishedWith = endNs;
        return nullptr;
    }

  private:
    MediaType type_;
    std::shared_ptr<GateLog> log_;
};

class WriterInputTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ErrorRef error;
        muxer_ = Mp4Muxer::create(folder_.file("unused.mp4"), error);
        ASSERT_TRUE(muxer_);
        state_->advance(WriterStatus::unknown, WriterStatus::writing);
    }

    std::shared_ptr<FfmpegWriterInput> makeInput(MediaType type, int capacity) {
        auto input = std::make_shared<FfmpegWriterInput>(std::make_unique<GatedEncoder>(type, log_),
                                                         capacity, state_, this);
        EXPECT_EQ(input->open(*muxer_), nullptr);
        return input;
    }

    SampleBufferRef frameAt(double seconds) {
        return videoSample(seconds, solidPixels(4, 4, {1, 2, 3}));
    }

    ScratchFolder folder_;
    std::unique_ptr<Mp4Muxer> muxer_;
    std::shared_ptr<WriterState> state_ = std::make_shared<WriterState>();
    std::shared_ptr<GateLog> log_ = std::make_shared<GateLog>();
};

TEST_F(WriterInputTest, TakesNothingBeforeTheSessionStarts) {
    auto input = makeInput(MediaType::video, 3);
    EXPECT_FALSE(input->isReadyForMoreMediaData());
    EXPECT_FALSE(input->append(frameAt(0)));
    log_->release();
}

TEST_F(WriterInputTest, IsNotReadyWhileItsQueueIsFullAndRefusesMore) {
    auto input = makeInput(MediaType::video, 2);
    input->beginSession(hostTime(0));
    ASSERT_TRUE(input->isReadyForMoreMediaData());
    EXPECT_TRUE(input->append(frameAt(0.1)));
    EXPECT_TRUE(input->append(frameAt(0.2)));
    // Both are held by the encoding thread, which waits at the gate.
    EXPECT_FALSE(input->isReadyForMoreMediaData());
    EXPECT_FALSE(input->append(frameAt(0.3)));

    log_->release();
    input->finish(int64_t{500'000'000});
    EXPECT_EQ(log_->offsets, (std::vector<int64_t>{100'000'000, 200'000'000}));
    ASSERT_TRUE(log_->finishedWith);
    EXPECT_EQ(*log_->finishedWith, std::optional<int64_t>{500'000'000});
}

TEST_F(WriterInputTest, TimesBuffersFromTheSessionStartAcrossTimescales) {
    auto input = makeInput(MediaType::video, 8);
    log_->release();
    input->beginSession(MediaTime::make(90'000 * 100, 90'000));  // 100 s on a 90 kHz clock
    for (const MediaTime time :
         {MediaTime::fromNanoseconds(100'000'000'000), MediaTime::make(100'250, 1000),
          MediaTime::fromNanoseconds(101'000'000'001)}) {
        EXPECT_TRUE(
            input->append(SampleBuffer::makeVideo(time, solidPixels(4, 4, {}), std::nullopt)));
    }
    input->finish(std::nullopt);
    EXPECT_EQ(log_->offsets, (std::vector<int64_t>{0, 250'000'000, 1'000'000'001}));
    ASSERT_TRUE(log_->finishedWith);
    EXPECT_FALSE(*log_->finishedWith);
}

TEST_F(WriterInputTest, RefusesBuffersItCannotUse) {
    auto video = makeInput(MediaType::video, 8);
    auto audio = makeInput(MediaType::audio, 8);
    log_->release();
    video->beginSession(hostTime(0));
    audio->beginSession(hostTime(0));
    const SampleBufferRef sound = toneSample(0, 480, 1000, 0);
    EXPECT_FALSE(video->append(sound));
    EXPECT_FALSE(audio->append(frameAt(0)));
    EXPECT_FALSE(video->append(SampleBuffer::makeInvalid()));
    EXPECT_FALSE(video->append(nullptr));
    EXPECT_FALSE(video->append(
        SampleBuffer::makeVideo(MediaTime::invalid(), solidPixels(4, 4, {}), std::nullopt)));
    EXPECT_TRUE(audio->append(sound));
    video->finish(std::nullopt);
    audio->finish(std::nullopt);
    EXPECT_EQ(log_->offsets.size(), 1u);
}

TEST_F(WriterInputTest, RefusesAppendsOnceMarkedAsFinished) {
    auto input = makeInput(MediaType::video, 8);
    log_->release();
    input->beginSession(hostTime(0));
    EXPECT_TRUE(input->append(frameAt(0)));
    input->markAsFinished();
    EXPECT_FALSE(input->isReadyForMoreMediaData());
    EXPECT_FALSE(input->append(frameAt(0.1)));
    input->finish(std::nullopt);
    EXPECT_EQ(log_->offsets.size(), 1u);
}

TEST_F(WriterInputTest, AnEncoderErrorFailsTheWriterAndStopsTheTrack) {
    auto input = makeInput(MediaType::video, 8);
    input->beginSession(hostTime(0));
    log_->failWith = PlatformError::fromErrno(EIO);
    EXPECT_TRUE(input->append(frameAt(0)));
    EXPECT_TRUE(input->append(frameAt(0.1)));
    log_->release();
    input->finish(int64_t{1'000'000'000});

    EXPECT_EQ(state_->status(), WriterStatus::failed);
    const PlatformError* error = asPlatformError(state_->error());
    ASSERT_NE(error, nullptr);
    EXPECT_EQ(error->domain(), "POSIX");
    EXPECT_EQ(error->code(), EIO);
    // The second frame and the drain are skipped once the writer has failed.
    EXPECT_EQ(log_->offsets.size(), 1u);
    EXPECT_FALSE(log_->finishedWith);
    EXPECT_FALSE(input->isReadyForMoreMediaData());
}

TEST_F(WriterInputTest, WaitingBuffersAreDroppedWhenTheWriterFails) {
    auto input = makeInput(MediaType::video, 8);
    input->beginSession(hostTime(0));
    EXPECT_TRUE(input->append(frameAt(0)));
    EXPECT_TRUE(input->append(frameAt(0.1)));
    state_->fail(PlatformError::fromErrno(ENOSPC));
    EXPECT_FALSE(input->isReadyForMoreMediaData());
    EXPECT_FALSE(input->append(frameAt(0.2)));
    log_->release();
    input->finish(std::nullopt);
    // The first was already with the encoder; the second never reached it.
    EXPECT_LE(log_->offsets.size(), 1u);
    EXPECT_EQ(asPlatformError(state_->error())->code(), ENOSPC);
}

}  // namespace
}  // namespace vantorel::testing
