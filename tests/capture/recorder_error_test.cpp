#include <gtest/gtest.h>

#include <string>

#include "capture/recorder_error.h"
#include "capture/stop_result.h"

namespace vantorel {
namespace {

TEST(RecorderErrorTest, DescribesEachCase) {
    EXPECT_EQ(RecorderError::noDisplay()->localizedDescription(),
              "No display was found to record.");
    EXPECT_EQ(RecorderError::noFrames()->localizedDescription(),
              "No video frames were captured, so no file was saved.");
    EXPECT_EQ(RecorderError::writerFailed()->localizedDescription(),
              "The video file could not be written.");
    EXPECT_EQ(RecorderError::noDisplay()->textualDescription(), "noDisplay");
    EXPECT_EQ(RecorderError::noFrames()->textualDescription(), "noFrames");
    EXPECT_EQ(RecorderError::writerFailed()->textualDescription(), "writerFailed");
}

TEST(RecorderErrorTest, CannotWriteAroundWriterFailedReadsAsOneLine) {
    const ErrorRef error = RecorderError::cannotWrite(RecorderError::writerFailed());
    EXPECT_EQ(error->localizedDescription(),
              "The video file could not be created: The video file could not be written.");
    EXPECT_EQ(error->textualDescription(), "cannotWrite(writerFailed)");
}

TEST(RecorderErrorTest, CannotWriteAroundAPlatformErrorAddsNoFullStop) {
    const ErrorRef cause = PlatformError::make("POSIX", 13, "Permission denied");
    const ErrorRef error = RecorderError::cannotWrite(cause);
    EXPECT_EQ(error->localizedDescription(),
              "The video file could not be created: Permission denied");
    EXPECT_EQ(error->textualDescription(), "cannotWrite(Permission denied)");
    ASSERT_NE(RecorderError::from(error), nullptr);
    EXPECT_EQ(RecorderError::from(error)->kind(), RecorderError::Kind::cannotWrite);
    EXPECT_EQ(RecorderError::from(error)->underlying(), cause);
}

TEST(RecorderErrorTest, IsToldApartFromPlatformErrors) {
    const ErrorRef platform =
        PlatformError::make("CaptureStream", PlatformError::kPermissionDeclined, "declined");
    EXPECT_EQ(RecorderError::from(platform), nullptr);
    EXPECT_EQ(asPlatformError(RecorderError::noFrames()), nullptr);
    EXPECT_EQ(asPlatformError(RecorderError::cannotWrite(platform)), nullptr);
}

TEST(StopResultTest, NeitherFieldMeansNothingWasRecording) {
    const StopResult nothing;
    EXPECT_FALSE(nothing.url.has_value());
    EXPECT_EQ(nothing.error, nullptr);
}

}  // namespace
}  // namespace vantorel
