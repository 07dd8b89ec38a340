// Streams whose X server changes under them: each test runs an Xvfb of its own, so that it
// can take monitors away or kill the server without touching anything else.
#include <gtest/gtest.h>

#include <algorithm>
#include <future>

#include "color_window.h"
#include "platform/serial_queue.h"
#include "platform/x11/x11_capture_access.h"
#include "platform/x11/x11_capture_service.h"
#include "platform/x11/x11_errors.h"
#include "private_x_server.h"
#include "session_fixture.h"

namespace vantorel::testing {
namespace {

using namespace std::chrono_literals;

int64_t codeOf(const ErrorRef& error) {
    const PlatformError* platform = asPlatformError(error);
    return platform ? platform->code() : -1;
}

class PrivateServerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        server_.setMonitor("PRIV-A", 0, 0, 640, 480);
        server_.setMonitor("PRIV-B", 640, 0, 640, 480);
        X11CaptureOptions options;
        options.displayName = server_.displayName();
        options.idleFrameInterval = 100ms;
        service_ = std::make_unique<X11CaptureService>(options);
    }

    void startOn(const std::string& monitor) {
        const std::optional<uint32_t> id = monitorId(server_.displayName(), monitor);
        ASSERT_TRUE(id);
        stream_ = service_->makeX11Stream(filterFor(*id),
                                          configurationFor({10, 10, 32, 32}, 32, 32), probe_);
        ASSERT_EQ(stream_->addStreamOutput(probe_, StreamOutputType::screen, queue_), nullptr);
        ASSERT_EQ(startAndWait(*stream_), nullptr);
        ASSERT_TRUE(probe_->waitForFrames(1));
    }

    // After the stream stopped by itself, a stop still completes once, and nothing more is
    // reported to the delegate.
    void expectOneReportedStop(X11CaptureErrorCode code) {
        ASSERT_TRUE(probe_->waitForStop());
        auto calls = std::make_shared<std::atomic<int>>(0);
        EXPECT_EQ(stopAndWait(*stream_, calls), nullptr);
        stream_.reset();
        EXPECT_EQ(calls->load(), 1);
        const std::vector<ErrorRef> stops = probe_->stops();
        ASSERT_EQ(stops.size(), 1u);
        EXPECT_EQ(codeOf(stops[0]), static_cast<int64_t>(code));
    }

    PrivateXServer server_{1280, 480};
    std::unique_ptr<X11CaptureService> service_;
    std::shared_ptr<StreamProbe> probe_ = std::make_shared<StreamProbe>();
    std::shared_ptr<SerialQueue> queue_ = std::make_shared<SerialQueue>("test.samples");
    std::shared_ptr<X11CaptureStream> stream_;
};

TEST_F(PrivateServerTest, ListsTheMonitorsOfItsOwnServer) {
    const ContentAnswer answer = queryContent(*service_);
    ASSERT_TRUE(answer.content);
    for (const char* name : {"PRIV-A", "PRIV-B"}) {
        const std::optional<uint32_t> id = monitorId(server_.displayName(), name);
        ASSERT_TRUE(id) << name;
        const auto& displays = answer.content->displays;
        EXPECT_TRUE(std::any_of(displays.begin(), displays.end(), [&](const CaptureDisplay& d) {
            return d.displayID == *id;
        })) << name;
    }
}

TEST_F(PrivateServerTest, DeletingTheCapturedMonitorStopsTheStreamWithAnError) {
    startOn("PRIV-B");
    server_.deleteMonitor("PRIV-B");
    expectOneReportedStop(X11CaptureErrorCode::displayGone);
}

TEST_F(PrivateServerTest, DeletingAnotherMonitorKeepsTheStreamRunning) {
    startOn("PRIV-B");
    server_.deleteMonitor("PRIV-A");
    const size_t seen = probe_->frameCount();
    // Idle frames keep coming well past the next re-reading of the monitors.
    ASSERT_TRUE(probe_->waitForFrames(seen + 15));
    EXPECT_TRUE(probe_->stops().empty());
}

TEST_F(PrivateServerTest, KillingTheServerStopsTheStreamWithAnError) {
    startOn("PRIV-A");
    server_.kill();
    expectOneReportedStop(X11CaptureErrorCode::connectionLost);
}

// A delegate that lets go of the stream when told it stopped: the last reference then goes on
// the stream's own capture thread.
class ReleasingDelegate : public StreamDelegate {
  public:
    std::shared_ptr<CaptureStream> stream;
    std::promise<ErrorRef> told;

    void streamDidStop(CaptureStream&, const ErrorRef& error) override {
        stream.reset();
        told.set_value(error);
    }
};

TEST_F(PrivateServerTest, DelegateMayReleaseTheStreamWhenTold) {
    const std::optional<uint32_t> id = monitorId(server_.displayName(), "PRIV-A");
    ASSERT_TRUE(id);
    auto delegate = std::make_shared<ReleasingDelegate>();
    std::future<ErrorRef> told = delegate->told.get_future();
    {
        auto stream =
            service_->makeX11Stream(filterFor(*id), configurationFor({0, 0, 8, 8}, 8, 8), delegate);
        ASSERT_EQ(stream->addStreamOutput(probe_, StreamOutputType::screen, queue_), nullptr);
        ASSERT_EQ(startAndWait(*stream), nullptr);
        delegate->stream = stream;
    }
    ASSERT_TRUE(probe_->waitForFrames(1));
    server_.kill();
    ASSERT_EQ(told.wait_for(StreamProbe::kPatience), std::future_status::ready);
    EXPECT_EQ(codeOf(told.get()), static_cast<int64_t>(X11CaptureErrorCode::connectionLost));
}

TEST_F(PrivateServerTest, ContentQueryAfterTheServerDiedFails) {
    ASSERT_TRUE(queryContent(*service_).content);
    server_.kill();
    const ContentAnswer answer = queryContent(*service_);
    EXPECT_FALSE(answer.content);
    EXPECT_NE(answer.error, nullptr);
}

TEST_F(PrivateServerTest, DisplayCanBeCapturedOnlyWhileItsServerRuns) {
    EXPECT_TRUE(canCaptureDisplay(server_.displayName()));
    server_.kill();
    EXPECT_FALSE(canCaptureDisplay(server_.displayName()));
}

TEST_F(PrivateServerTest, StartAgainstADeadServerFails) {
    const std::optional<uint32_t> id = monitorId(server_.displayName(), "PRIV-A");
    ASSERT_TRUE(id);
    server_.kill();
    auto stream =
        service_->makeX11Stream(filterFor(*id), configurationFor({0, 0, 8, 8}, 8, 8), probe_);
    EXPECT_EQ(codeOf(startAndWait(*stream)),
              static_cast<int64_t>(X11CaptureErrorCode::cannotConnect));
}

}  // namespace
}  // namespace vantorel::testing
