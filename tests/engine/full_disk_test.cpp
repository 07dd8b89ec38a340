// Recording onto a file system that fills up: the failure is reported once, and the stop that
// follows deletes the file and answers with the system's own error.
#include <gtest/gtest.h>
#include <sys/mount.h>

#include <cerrno>
#include <chrono>
#include <cstring>

#include "color_window.h"
#include "engine_session.h"
#include "repainter.h"
#include "session_fixture.h"
#include "writer_harness.h"

namespace vantorel::testing {
namespace {

using namespace std::chrono_literals;

constexpr CaptureRect kRegion{100, 600, 640, 360};  // on MON-B

// A small tmpfs over a folder for as long as it lives.
class SmallFileSystem {
  public:
    explicit SmallFileSystem(const std::filesystem::path& folder) : folder_(folder) {
        if (mount("tmpfs", folder.c_str(), "tmpfs", 0, "size=320k") != 0) {
            failure_ = std::strerror(errno);
        }
    }
    ~SmallFileSystem() {
        if (failure_.empty()) {
            umount2(folder_.c_str(), MNT_DETACH);
        }
    }
    SmallFileSystem(const SmallFileSystem&) = delete;
    SmallFileSystem& operator=(const SmallFileSystem&) = delete;

    const std::string& failure() const { return failure_; }

  private:
    std::filesystem::path folder_;
    std::string failure_;
};

TEST(FullDisk, AFullFileSystemIsReportedOnceAndTheStopDeletesTheFile) {
    ASSERT_TRUE(headlessSessionPresent())
        << "needs the X server of scripts/headless-session.sh (monitors MON-A and MON-B)";
    ScratchFolder folder;
    const SmallFileSystem small(folder.path());
    if (!small.failure().empty()) {
        GTEST_SKIP() << "cannot mount a small tmpfs here: " << small.failure();
    }
    const auto output = folder.file("full.mp4");
    EngineSession engine;
    const std::optional<CaptureDisplay> monB = engine.displayAt(1920, 0);
    ASSERT_TRUE(monB) << "the capture service lists no display at 1920,0";
    ColorWindow canvas("", EngineSession::rootRectFor(*monB, kRegion), 0);
    // Noise, so that the file grows at the full bit rate.
    Repainter painter(canvas, 30ms, Repainter::noisy());

    ASSERT_EQ(engine.start(EngineSession::configFor(*monB, kRegion, 30, true, output)), nullptr);
    ASSERT_TRUE(engine.waitForFailure()) << "the file system never filled up";
    const std::optional<StopResult> result = engine.stop();
    ASSERT_TRUE(result) << "the stop never answered";

    const std::vector<ErrorRef> failures = engine.failures();
    ASSERT_EQ(failures.size(), 1u);
    const PlatformError* reported = asPlatformError(failures[0]);
    ASSERT_NE(reported, nullptr) << failures[0]->textualDescription();
    EXPECT_EQ(reported->code(), ENOSPC);

    EXPECT_FALSE(result->url);
    ASSERT_NE(result->error, nullptr);
    const PlatformError* error = asPlatformError(result->error);
    ASSERT_NE(error, nullptr) << result->error->textualDescription();
    EXPECT_EQ(error->domain(), "POSIX");
    EXPECT_EQ(error->code(), ENOSPC);
    EXPECT_EQ(result->error->localizedDescription(), "No space left on device");
    EXPECT_FALSE(std::filesystem::exists(output)) << "the stop left the broken file behind";
}

}  // namespace
}  // namespace vantorel::testing
