#include <gtest/gtest.h>

#include "capture/recorder_error.h"
#include "capture/stop_result.h"

namespace vantorel {
namespace {

TEST(RecorderError, DescriptionsAndTextualForms) {
    struct Case {
        ErrorRef error;
        std::string description;
        std::string text;
    };
    const Case cases[] = {
        {RecorderError::noDisplay(), "No display was found to record.", "noDisplay"},
        {RecorderError::noFrames(), "No video frames were captured, so no file was saved.",
         "noFrames"},
        {RecorderError::writerFailed(), "The video file could not be written.", "writerFailed"},
        // One line: the wrapped message follows directly, nothing added.
        {RecorderError::cannotWrite(RecorderError::writerFailed()),
         "The video file could not be created: The video file could not be written.",
         "cannotWrite(writerFailed)"},
        {RecorderError::cannotWrite(PlatformError::make("POSIX", 13, "Permission denied")),
         "The video file could not be created: Permission denied",
         "cannotWrite(Permission denied)"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.error->localizedDescription(), c.description);
        EXPECT_EQ(c.error->textualDescription(), c.text);
    }
}

TEST(RecorderError, IsToldApartFromPlatformErrors) {
    const ErrorRef engine = RecorderError::noDisplay();
    const ErrorRef platform =
        PlatformError::make("Capture", PlatformError::kPermissionDeclined, "declined");
    ASSERT_NE(RecorderError::from(engine), nullptr);
    EXPECT_EQ(RecorderError::from(engine)->kind(), RecorderError::Kind::noDisplay);
    EXPECT_EQ(asPlatformError(engine), nullptr);
    EXPECT_EQ(RecorderError::from(platform), nullptr);
    ASSERT_NE(asPlatformError(platform), nullptr);
    EXPECT_EQ(asPlatformError(platform)->code(), -3801);
}

TEST(StopResult, NeitherFieldMeansNothingWasRecording) {
    const StopResult nothing;
    EXPECT_FALSE(nothing.url);
    EXPECT_FALSE(nothing.error);
}

}  // namespace
}  // namespace vantorel
