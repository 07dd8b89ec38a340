#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "capture/fakes/test_samples.h"
#include "capture/sample_rules.h"

namespace vantorel {
namespace {

using testing::at;
using testing::frameWithAttachments;

struct FrameCase {
    std::string name;
    std::optional<std::vector<Attachments>> attachments;
    bool complete;
};

void PrintTo(const FrameCase& c, std::ostream* out) {
    *out << c.name;
}

std::vector<Attachments> statusOf(AttachmentValue value) {
    return {Attachments{{kFrameInfoStatus, value}}};
}

class CompleteFrameTest : public ::testing::TestWithParam<FrameCase> {};

TEST_P(CompleteFrameTest, OnlyAnIntegerStatusOfZeroIsComplete) {
    const auto frame = frameWithAttachments(at(10), GetParam().attachments);
    EXPECT_EQ(isCompleteFrame(*frame), GetParam().complete);
}

INSTANTIATE_TEST_SUITE_P(
    Attachments, CompleteFrameTest,
    ::testing::Values(
        FrameCase{"complete", statusOf(int64_t{0}), true},
        FrameCase{"idle", statusOf(int64_t{1}), false},
        FrameCase{"blank", statusOf(int64_t{2}), false},
        FrameCase{"suspended", statusOf(int64_t{3}), false},
        FrameCase{"started", statusOf(int64_t{4}), false},
        FrameCase{"stopped", statusOf(int64_t{5}), false},
        FrameCase{"unknownStatus", statusOf(int64_t{-1}), false},
        FrameCase{"noAttachments", std::nullopt, false},
        FrameCase{"emptyList", std::vector<Attachments>{}, false},
        FrameCase{"emptyDictionary", std::vector<Attachments>{Attachments{}}, false},
        FrameCase{
            "noStatusKey",
            std::vector<Attachments>{Attachments{{"SCStreamFrameInfoDisplayTime", int64_t{0}}}},
            false},
        FrameCase{"floatZero", statusOf(0.0), false},
        FrameCase{"flagFalse", statusOf(false), false},
        FrameCase{"textZero", statusOf(std::string("0")), false},
        // Only the first sample's attachments count.
        FrameCase{"secondSampleComplete",
                  std::vector<Attachments>{Attachments{{kFrameInfoStatus, int64_t{1}}},
                                           Attachments{{kFrameInfoStatus, int64_t{0}}}},
                  false},
        FrameCase{"firstSampleComplete",
                  std::vector<Attachments>{Attachments{{kFrameInfoStatus, int64_t{0}}},
                                           Attachments{{kFrameInfoStatus, int64_t{1}}}},
                  true},
        FrameCase{"completeAmongOtherKeys",
                  std::vector<Attachments>{Attachments{{"SCStreamFrameInfoScaleFactor", 2.0},
                                                       {kFrameInfoStatus, int64_t{0}}}},
                  true}),
    [](const ::testing::TestParamInfo<FrameCase>& tested) { return tested.param.name; });

TEST(CompleteFrameTest, SoundIsNeverACompleteFrame) {
    EXPECT_FALSE(isCompleteFrame(*testing::soundBlock(at(10))));
}

struct EndCase {
    std::string name;
    MediaTime now;
    MediaTime lastVideoTime;
    MediaTime expected;
};

void PrintTo(const EndCase& c, std::ostream* out) {
    *out << c.name;
}

class SessionEndTest : public ::testing::TestWithParam<EndCase> {};

TEST_P(SessionEndTest, IsNowButNeverBeforeTheLastFrame) {
    const MediaTime end = sessionEndTime(GetParam().now, GetParam().lastVideoTime);
    const MediaTime& expected = GetParam().expected;
    EXPECT_EQ(end.value, expected.value);
    EXPECT_EQ(end.timescale, expected.timescale);
    EXPECT_EQ(end.flags, expected.flags);
    EXPECT_EQ(end.epoch, expected.epoch);
}

INSTANTIATE_TEST_SUITE_P(
    Clocks, SessionEndTest,
    ::testing::Values(EndCase{"clockLater", at(900), at(500), at(900)},
                      EndCase{"clockEarlier", at(400), at(500), at(500)},
                      // Equal in value but written differently: the frame's own time is kept.
                      EndCase{"clockEqual", MediaTime::make(500'000'000, 1'000'000'000),
                              MediaTime::make(1, 2), MediaTime::make(1, 2)},
                      EndCase{"clockUnreadable", MediaTime::invalid(), at(500), at(500)},
                      EndCase{"nothingWritten", at(900), MediaTime::invalid(), at(900)},
                      EndCase{"nothingWrittenClockUnreadable", MediaTime::invalid(),
                              MediaTime::invalid(), MediaTime::invalid()}),
    [](const ::testing::TestParamInfo<EndCase>& tested) { return tested.param.name; });

}  // namespace
}  // namespace vantorel
