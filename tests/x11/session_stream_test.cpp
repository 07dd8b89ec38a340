// Frames of the X11 capture stream on the headless session's server (MON-A at 0,0 and MON-B
// at 1920,0, each 1920x1080). Every test works in a region of its own, so tests may run side
// by side; only the cursor test moves the pointer.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <future>
#include <sstream>
#include <thread>

#include "color_window.h"
#include "fake_audio_source.h"
#include "platform/host_clock.h"
#include "platform/serial_queue.h"
#include "platform/x11/x11_errors.h"
#include "session_fixture.h"

namespace vantorel::testing {
namespace {

using namespace std::chrono_literals;

constexpr int kMonBOrigin = 1920;

struct Quadrants {
    uint32_t topLeft;
    uint32_t topRight;
    uint32_t bottomLeft;
    uint32_t bottomRight;
};

constexpr Quadrants kFirstColours{0xC81E3C, 0x1EC83C, 0x3C1EC8, 0xE0E020};
constexpr Quadrants kSecondColours{0x102030, 0x405060, 0x708090, 0xA0B0C0};

// The colour a pixel of a w x h frame must have when the frame shows exactly the window.
uint32_t expectedAt(const Quadrants& q, int x, int y, int w, int h) {
    const bool left = x < w / 2;
    const bool top = y < h / 2;
    return top ? (left ? q.topLeft : q.topRight) : (left ? q.bottomLeft : q.bottomRight);
}

// Empty when every pixel matches, otherwise the first few mismatches.
std::string mismatches(const FrameRecord& frame, const Quadrants& q) {
    std::ostringstream out;
    int count = 0;
    for (int y = 0; y < frame.height && count < 5; ++y) {
        for (int x = 0; x < frame.width && count < 5; ++x) {
            const uint32_t want = expectedAt(q, x, y, frame.width, frame.height);
            if (frame.rgb(x, y) != want || (frame.bgra(x, y) >> 24) != 0xFF) {
                out << std::hex << "(" << std::dec << x << "," << y << std::hex << ") got "
                    << frame.bgra(x, y) << " want " << want << "; ";
                ++count;
            }
        }
    }
    return out.str();
}

bool isComplete(const FrameRecord& f) {
    return f.status == FrameStatus::complete;
}

class SessionStreamTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(headlessSessionPresent())
            << "needs the X server of scripts/headless-session.sh (monitors MON-A and MON-B)";
        monA_ = *monitorId("", "MON-A");
        monB_ = *monitorId("", "MON-B");
        X11CaptureOptions options;
        options.idleFrameInterval = 200ms;
        options.audioSourceFactory = fakeAudioFactory(audio_);
        service_ = std::make_unique<X11CaptureService>(options);
    }

    void TearDown() override {
        if (stream_) {
            stopAndWait(*stream_);
        }
    }

    // Makes the stream, registers the probe for video and sound, and starts it.
    ErrorRef start(uint32_t display, const StreamConfiguration& configuration, double scale = 1.0) {
        stream_ = service_->makeX11Stream(filterFor(display, scale), configuration, probe_);
        EXPECT_EQ(stream_->addStreamOutput(probe_, StreamOutputType::screen, queue_), nullptr);
        EXPECT_EQ(stream_->addStreamOutput(probe_, StreamOutputType::audio, queue_), nullptr);
        ErrorRef error = startAndWait(*stream_, startCalls_);
        if (error) {
            stream_.reset();
        }
        return error;
    }

    uint32_t monA_ = 0;
    uint32_t monB_ = 0;
    std::shared_ptr<FakeAudioControl> audio_ = std::make_shared<FakeAudioControl>();
    std::unique_ptr<X11CaptureService> service_;
    std::shared_ptr<StreamProbe> probe_ = std::make_shared<StreamProbe>();
    std::shared_ptr<SerialQueue> queue_ = std::make_shared<SerialQueue>("test.samples");
    CallCounter startCalls_ = std::make_shared<std::atomic<int>>(0);
    std::shared_ptr<X11CaptureStream> stream_;
};

struct RegionCase {
    const char* name;
    bool onMonB;
    CaptureRect points;  // relative to the monitor; scale 1 here
};

void PrintTo(const RegionCase& c, std::ostream* os) {
    *os << c.name;
}

class StreamRegionTest : public SessionStreamTest,
                         public ::testing::WithParamInterface<RegionCase> {};

TEST_P(StreamRegionTest, FramesShowExactlyTheRegionAndFollowItsChanges) {
    const RegionCase& c = GetParam();
    const int originX = c.onMonB ? kMonBOrigin : 0;
    const PixelRect root{originX + static_cast<int>(c.points.x), static_cast<int>(c.points.y),
                         static_cast<int>(c.points.width), static_cast<int>(c.points.height)};
    ColorWindow window("", root, 0);
    window.quadrants(kFirstColours.topLeft, kFirstColours.topRight, kFirstColours.bottomLeft,
                     kFirstColours.bottomRight);
    const MediaTime before = MonotonicClock().now();
    ASSERT_EQ(start(c.onMonB ? monB_ : monA_, configurationFor(c.points, root.width, root.height)),
              nullptr);
    ASSERT_TRUE(probe_->waitForFrames(1));
    const FrameRecord first = probe_->frames().front();
    EXPECT_TRUE(isComplete(first));
    ASSERT_EQ(first.width, root.width);
    ASSERT_EQ(first.height, root.height);
    EXPECT_EQ(mismatches(first, kFirstColours), "");

    window.quadrants(kSecondColours.topLeft, kSecondColours.topRight, kSecondColours.bottomLeft,
                     kSecondColours.bottomRight);
    EXPECT_TRUE(probe_->waitFor([](const std::vector<FrameRecord>& frames) {
        return !frames.empty() && frames.back().rgb(0, 0) == kSecondColours.topLeft;
    }));
    const std::vector<FrameRecord> frames = probe_->frames();
    auto changed = std::find_if(frames.begin(), frames.end(), [](const FrameRecord& f) {
        return f.rgb(0, 0) == kSecondColours.topLeft;
    });
    ASSERT_NE(changed, frames.end());
    EXPECT_TRUE(isComplete(*changed)) << "a frame with new content must be complete";
    EXPECT_EQ(mismatches(*changed, kSecondColours), "");

    const MediaTime after = MonotonicClock().now();
    for (size_t i = 0; i < frames.size(); ++i) {
        EXPECT_GE(compare(frames[i].time, before), 0) << i;
        EXPECT_LE(compare(frames[i].time, after), 0) << i;
        if (i > 0) {
            EXPECT_GT(compare(frames[i].time, frames[i - 1].time), 0) << i;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Table, StreamRegionTest,
                         ::testing::Values(RegionCase{"first_monitor", false, {100, 100, 64, 48}},
                                           RegionCase{"second_monitor", true, {300, 200, 64, 48}},
                                           RegionCase{"odd_size", true, {300, 600, 63, 37}},
                                           RegionCase{
                                               "monitor_corner", false, {1856, 1032, 64, 48}}),
                         [](const auto& param) { return std::string(param.param.name); });

TEST_F(SessionStreamTest, StaticRegionGivesOneCompleteFrameThenOnlyIdleOnes) {
    ColorWindow window("", PixelRect{400, 400, 80, 60}, 0);
    window.fill(0x2A6B3C);
    ASSERT_EQ(start(monA_, configurationFor({400, 400, 80, 60}, 80, 60)), nullptr);
    ASSERT_TRUE(probe_->waitForFrames(4));
    const std::vector<FrameRecord> frames = probe_->frames();
    EXPECT_TRUE(isComplete(frames[0]));
    for (size_t i = 1; i < frames.size(); ++i) {
        EXPECT_EQ(frames[i].status, FrameStatus::idle) << "frame " << i;
        EXPECT_EQ(frames[i].rgb(40, 30), 0x2A6B3Cu) << "frame " << i;
    }
}

TEST_F(SessionStreamTest, ChangeOutsideTheRegionGivesNoCompleteFrameAndInsideDoes) {
    ColorWindow inside("", PixelRect{600, 100, 80, 60}, 0);
    ColorWindow outside("", PixelRect{680, 100, 40, 60}, 0);  // touches the region's right edge
    inside.fill(0x111111);
    outside.fill(0x222222);
    ASSERT_EQ(start(monA_, configurationFor({600, 100, 80, 60}, 80, 60)), nullptr);
    ASSERT_TRUE(probe_->waitForFrames(2));  // the complete first frame and an idle one
    probe_->clearFrames();

    outside.fill(0x333333);
    outside.fill(0x444444);
    ASSERT_TRUE(probe_->waitForFrames(3));
    for (const FrameRecord& frame : probe_->frames()) {
        EXPECT_EQ(frame.status, FrameStatus::idle);
        EXPECT_EQ(frame.rgb(79, 30), 0x111111u);
    }

    inside.fill(0x555555);
    EXPECT_TRUE(probe_->waitFor([](const std::vector<FrameRecord>& frames) {
        return std::any_of(frames.begin(), frames.end(), isComplete);
    }));
    const std::vector<FrameRecord> frames = probe_->frames();
    auto complete = std::find_if(frames.begin(), frames.end(), isComplete);
    ASSERT_NE(complete, frames.end());
    EXPECT_EQ(complete->rgb(0, 0), 0x555555u);
    EXPECT_EQ(complete->rgb(79, 59), 0x555555u);
}

struct ScaleCase {
    const char* name;
    int width;
    int height;
};

void PrintTo(const ScaleCase& c, std::ostream* os) {
    *os << c.name;
}

class StreamScaleTest : public SessionStreamTest,
                        public ::testing::WithParamInterface<ScaleCase> {};

// Bilinear scaling in fixed point may be off by a step or two, even in solid areas.
bool nearColour(uint32_t a, uint32_t b) {
    for (int shift = 0; shift < 24; shift += 8) {
        const int da = static_cast<int>((a >> shift) & 0xFF);
        const int db = static_cast<int>((b >> shift) & 0xFF);
        if (std::abs(da - db) > 3) {
            return false;
        }
    }
    return true;
}

TEST_P(StreamScaleTest, FramesAreScaledToTheConfiguredSize) {
    const ScaleCase& c = GetParam();
    ColorWindow window("", PixelRect{kMonBOrigin + 100, 500, 64, 48}, 0);
    window.quadrants(kFirstColours.topLeft, kFirstColours.topRight, kFirstColours.bottomLeft,
                     kFirstColours.bottomRight);
    ASSERT_EQ(start(monB_, configurationFor({100, 500, 64, 48}, c.width, c.height)), nullptr);
    ASSERT_TRUE(probe_->waitForFrames(1));
    const FrameRecord frame = probe_->frames().front();
    ASSERT_EQ(frame.width, c.width);
    ASSERT_EQ(frame.height, c.height);
    ASSERT_GE(frame.bytesPerRow, 4 * c.width);
    // Away from the seams every pixel keeps its quadrant's colour.
    const int qx = c.width / 4;
    const int qy = c.height / 4;
    EXPECT_PRED2(nearColour, frame.rgb(qx, qy), kFirstColours.topLeft);
    EXPECT_PRED2(nearColour, frame.rgb(c.width - 1 - qx, qy), kFirstColours.topRight);
    EXPECT_PRED2(nearColour, frame.rgb(qx, c.height - 1 - qy), kFirstColours.bottomLeft);
    EXPECT_PRED2(nearColour, frame.rgb(c.width - 1 - qx, c.height - 1 - qy),
                 kFirstColours.bottomRight);
    EXPECT_PRED2(nearColour, frame.rgb(0, 0), kFirstColours.topLeft);
    EXPECT_PRED2(nearColour, frame.rgb(c.width - 1, c.height - 1), kFirstColours.bottomRight);
    EXPECT_EQ(frame.bgra(c.width / 2, c.height / 2) >> 24, 0xFFu);
}

INSTANTIATE_TEST_SUITE_P(Table, StreamScaleTest,
                         ::testing::Values(ScaleCase{"half", 32, 24}, ScaleCase{"double", 128, 96},
                                           ScaleCase{"uneven", 50, 70}),
                         [](const auto& param) { return std::string(param.param.name); });

TEST_F(SessionStreamTest, DisplayScaleMapsPointsToDevicePixels) {
    // 32x24 points at (300, 400) on a display of scale 2 are 64x48 pixels at (600, 800).
    ColorWindow window("", PixelRect{kMonBOrigin + 600, 800, 64, 48}, 0);
    window.quadrants(kFirstColours.topLeft, kFirstColours.topRight, kFirstColours.bottomLeft,
                     kFirstColours.bottomRight);
    ASSERT_EQ(start(monB_, configurationFor({300, 400, 32, 24}, 64, 48), 2.0), nullptr);
    ASSERT_TRUE(probe_->waitForFrames(1));
    const FrameRecord frame = probe_->frames().front();
    ASSERT_EQ(frame.width, 64);
    EXPECT_EQ(mismatches(frame, kFirstColours), "");
}

template <typename Pred>
bool eventually(Pred pred) {
    const auto end = std::chrono::steady_clock::now() + StreamProbe::kPatience;
    while (!pred()) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

TEST_F(SessionStreamTest, GrabsAreSkippedWhileEveryBufferIsHeldAndResumeOnRelease) {
    ColorWindow window("", PixelRect{800, 700, 40, 30}, 0);
    window.fill(0x0F0F0F);
    probe_->holdBuffers(true);
    StreamConfiguration configuration = configurationFor({800, 700, 40, 30}, 40, 30);
    configuration.queueDepth = 3;
    ASSERT_EQ(start(monA_, configuration), nullptr);
    ASSERT_TRUE(probe_->waitForFrames(3));
    // Changes keep coming, yet nothing more may arrive while the three buffers are held.
    window.fill(0x1F1F1F);
    ASSERT_TRUE(eventually([&] { return stream_->skippedGrabs() >= 5; }));
    window.fill(0x2F2F2F);
    const uint64_t skipped = stream_->skippedGrabs();
    ASSERT_TRUE(eventually([&] { return stream_->skippedGrabs() >= skipped + 5; }));
    EXPECT_EQ(probe_->frameCount(), 3u);

    probe_->holdBuffers(false);
    probe_->release();
    EXPECT_TRUE(probe_->waitFor([](const std::vector<FrameRecord>& frames) {
        return frames.size() > 3 && frames[3].rgb(0, 0) == 0x2F2F2F;
    }));
    const std::vector<FrameRecord> frames = probe_->frames();
    ASSERT_GT(frames.size(), 3u);
    EXPECT_TRUE(isComplete(frames[3])) << "the change seen while skipping must not be lost";
}

int pixelsDifferingFrom(const FrameRecord& frame, uint32_t rgb) {
    int count = 0;
    for (int y = 0; y < frame.height; ++y) {
        for (int x = 0; x < frame.width; ++x) {
            count += frame.rgb(x, y) != rgb ? 1 : 0;
        }
    }
    return count;
}

class CursorTest : public SessionStreamTest, public ::testing::WithParamInterface<bool> {};

TEST_P(CursorTest, PointerEnteringTheRegionIsDrawnOnlyWhenAskedFor) {
    const bool showsCursor = GetParam();
    const PixelRect root{kMonBOrigin + 1000, 300, 100, 100};
    ColorWindow window("", root, 0);
    window.fill(0x336699);
    warpPointer("", 5, 1075);
    ASSERT_EQ(start(monB_, configurationFor({1000, 300, 100, 100}, 100, 100, showsCursor)),
              nullptr);
    ASSERT_TRUE(probe_->waitForFrames(2));
    for (const FrameRecord& frame : probe_->frames()) {
        EXPECT_EQ(pixelsDifferingFrom(frame, 0x336699), 0);
    }
    probe_->clearFrames();

    warpPointer("", root.x + 50, root.y + 50);
    if (showsCursor) {
        ASSERT_TRUE(probe_->waitFor([](const std::vector<FrameRecord>& frames) {
            return std::any_of(frames.begin(), frames.end(), isComplete);
        }));
        const auto frames = probe_->frames();
        const FrameRecord& frame = *std::find_if(frames.begin(), frames.end(), isComplete);
        EXPECT_GT(pixelsDifferingFrom(frame, 0x336699), 10);
        // The picture hangs off the hot spot, which is at the middle of the frame.
        int nearHotSpot = 0;
        for (int y = 20; y < 80; ++y) {
            for (int x = 20; x < 80; ++x) {
                nearHotSpot += frame.rgb(x, y) != 0x336699 ? 1 : 0;
            }
        }
        EXPECT_GT(nearHotSpot, 10);
    } else {
        ASSERT_TRUE(probe_->waitForFrames(3));
        for (const FrameRecord& frame : probe_->frames()) {
            EXPECT_EQ(frame.status, FrameStatus::idle);
            EXPECT_EQ(pixelsDifferingFrom(frame, 0x336699), 0);
        }
    }
    warpPointer("", 5, 1075);
}

INSTANTIATE_TEST_SUITE_P(ShowsCursor, CursorTest, ::testing::Bool());

TEST_F(SessionStreamTest, EachCompletionRunsOnceAndOutOfOrderCallsFail) {
    const auto errorCode = [](const ErrorRef& e) {
        const PlatformError* p = asPlatformError(e);
        return p ? p->code() : int64_t{-1};
    };
    auto stream = service_->makeX11Stream(filterFor(monA_),
                                          configurationFor({1200, 800, 16, 16}, 16, 16), probe_);
    auto calls = std::make_shared<std::atomic<int>>(0);
    EXPECT_EQ(errorCode(stopAndWait(*stream, calls)),
              static_cast<int64_t>(X11CaptureErrorCode::invalidState));
    EXPECT_EQ(startAndWait(*stream, calls), nullptr);
    EXPECT_EQ(errorCode(startAndWait(*stream, calls)),
              static_cast<int64_t>(X11CaptureErrorCode::invalidState));
    EXPECT_EQ(stopAndWait(*stream, calls), nullptr);
    EXPECT_EQ(errorCode(stopAndWait(*stream, calls)),
              static_cast<int64_t>(X11CaptureErrorCode::invalidState));
    EXPECT_EQ(calls->load(), 5);  // every completion was last on the same queue, so all have run
    EXPECT_TRUE(probe_->stops().empty());
}

TEST_F(SessionStreamTest, RunningStreamMayBeReleasedWithoutAStop) {
    ASSERT_EQ(start(monA_, configurationFor({1200, 800, 16, 16}, 16, 16)), nullptr);
    ASSERT_TRUE(probe_->waitForFrames(1));
    stream_.reset();  // stops the capture thread itself; nothing is told
    auto drained = std::make_shared<std::promise<void>>();
    queue_->async([drained] { drained->set_value(); });
    ASSERT_EQ(drained->get_future().wait_for(StreamProbe::kPatience), std::future_status::ready);
    const size_t count = probe_->frameCount();
    auto again = std::make_shared<std::promise<void>>();
    queue_->async([again] { again->set_value(); });
    again->get_future().wait();
    EXPECT_EQ(probe_->frameCount(), count) << "nothing may arrive from a released stream";
    EXPECT_TRUE(probe_->stops().empty());
}

TEST_F(SessionStreamTest, UnknownDisplayFailsTheStart) {
    const ErrorRef error = start(0x7FFFFFF0, configurationFor({0, 0, 16, 16}, 16, 16));
    const PlatformError* platform = asPlatformError(error);
    ASSERT_NE(platform, nullptr);
    EXPECT_EQ(platform->domain(), kX11CaptureErrorDomain);
    EXPECT_EQ(platform->code(), static_cast<int64_t>(X11CaptureErrorCode::displayGone));
    EXPECT_EQ(startCalls_->load(), 1);
}

TEST_F(SessionStreamTest, RegionOutsideItsDisplayFailsTheStart) {
    const ErrorRef error = start(monA_, configurationFor({1920, 0, 16, 16}, 16, 16));
    const PlatformError* platform = asPlatformError(error);
    ASSERT_NE(platform, nullptr);
    EXPECT_EQ(platform->code(), static_cast<int64_t>(X11CaptureErrorCode::emptyRegion));
}

SampleBufferRef soundBlock(int64_t nanoseconds) {
    auto block = std::make_shared<AudioBlock>();
    block->samples.assign(960, 0.25f);
    return SampleBuffer::makeAudio(MediaTime::fromNanoseconds(nanoseconds), block);
}

StreamConfiguration withSound(StreamConfiguration configuration) {
    configuration.capturesAudio = true;
    return configuration;
}

TEST_F(SessionStreamTest, SoundSourceThatCannotStartFailsTheStartWithItsError) {
    const ErrorRef refusal = PlatformError::make("Pulse", 6, "Connection refused");
    audio_->failStartWith(refusal);
    EXPECT_EQ(start(monA_, withSound(configurationFor({1300, 800, 16, 16}, 16, 16))), refusal);
    EXPECT_EQ(startCalls_->load(), 1);
}

TEST_F(SessionStreamTest, SoundIsNeverMadeWhenNotAskedFor) {
    ASSERT_EQ(start(monA_, configurationFor({1300, 800, 16, 16}, 16, 16)), nullptr);
    EXPECT_FALSE(audio_->started());
}

TEST_F(SessionStreamTest, SoundBlocksArriveAsAudioBuffersInOrder) {
    ASSERT_EQ(start(monA_, withSound(configurationFor({1300, 800, 16, 16}, 16, 16))), nullptr);
    ASSERT_TRUE(audio_->started());
    std::vector<SampleBufferRef> sent = {soundBlock(1000), soundBlock(2000), soundBlock(3000)};
    for (const auto& block : sent) {
        audio_->emit(block);
    }
    ASSERT_TRUE(probe_->waitForAudio(3));
    EXPECT_EQ(probe_->audio(), sent);
    ASSERT_EQ(stopAndWait(*stream_), nullptr);
    stream_.reset();
    EXPECT_TRUE(audio_->stopped());
}

TEST_F(SessionStreamTest, LosingTheSoundStopsTheStreamAndTellsTheDelegateOnce) {
    ASSERT_EQ(start(monA_, withSound(configurationFor({1300, 800, 16, 16}, 16, 16))), nullptr);
    ASSERT_TRUE(probe_->waitForFrames(1));
    const ErrorRef lost = PlatformError::make("Pulse", 7, "Connection terminated");
    audio_->lose(lost);
    audio_->lose(PlatformError::make("Pulse", 8, "again"));
    ASSERT_TRUE(probe_->waitForStop());
    auto calls = std::make_shared<std::atomic<int>>(0);
    EXPECT_EQ(stopAndWait(*stream_, calls), nullptr);
    stream_.reset();
    const std::vector<ErrorRef> stops = probe_->stops();
    ASSERT_EQ(stops.size(), 1u);
    EXPECT_EQ(stops[0], lost);
    EXPECT_EQ(calls->load(), 1);
    EXPECT_TRUE(audio_->stopped());
}

TEST_F(SessionStreamTest, SoundWithoutAnySourceFailsTheStart) {
    service_ = std::make_unique<X11CaptureService>();  // no factory
    const ErrorRef error = start(monA_, withSound(configurationFor({1300, 800, 16, 16}, 16, 16)));
    const PlatformError* platform = asPlatformError(error);
    ASSERT_NE(platform, nullptr);
    EXPECT_EQ(platform->code(), static_cast<int64_t>(X11CaptureErrorCode::noAudioSource));
}

}  // namespace
}  // namespace vantorel::testing
