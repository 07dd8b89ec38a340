// Recordings cut off by kill -9, as a crash, an out-of-memory kill or a power cut would end them:
// the file plays up to its last second, and the next start finishes it, once, into an ordinary
// file. Files that are not ours are never touched.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <fstream>
#include <future>

#include "media_probe.h"
#include "platform/ffmpeg/ffmpeg_mp4_writer.h"
#include "platform/mp4/fragmented_file.h"
#include "platform/mp4/recording_recovery.h"
#include "scratch_folder.h"

namespace vantorel::testing {
namespace {

constexpr int kWidth = 160;
constexpr int kHeight = 120;
constexpr int kRate = 30;
constexpr double kPeriod = 0.5;  // each colour lasts this long
constexpr std::array<std::array<uint8_t, 3>, 4> kColours = {
    {{230, 30, 30}, {30, 200, 60}, {40, 60, 220}, {240, 240, 240}}};

const std::array<uint8_t, 3>& colourAt(double seconds) {
    return kColours[static_cast<size_t>(seconds / kPeriod) % kColours.size()];
}

// One picture per colour, shared by the frames that show it.
VideoFrame frameAt(double seconds) {
    static std::array<std::shared_ptr<std::vector<uint8_t>>, kColours.size()> pictures;
    const size_t index = static_cast<size_t>(seconds / kPeriod) % kColours.size();
    if (!pictures[index]) {
        pictures[index] = std::make_shared<std::vector<uint8_t>>(size_t(kWidth) * kHeight * 4);
        const auto& [r, g, b] = kColours[index];
        for (size_t i = 0; i < pictures[index]->size(); i += 4) {
            (*pictures[index])[i] = b, (*pictures[index])[i + 1] = g;
            (*pictures[index])[i + 2] = r, (*pictures[index])[i + 3] = 255;
        }
    }
    const auto& bytes = pictures[index];
    return VideoFrame{int64_t(seconds * 1e9), true, kWidth, kHeight, kWidth * 4,
                      {bytes, bytes->data()}};
}

// Appends as a capture does, but waits instead of dropping what the writer cannot take yet:
// the test wants every second of media in the writer's hands.
template <typename Append>
void handOver(Append append) {
    while (!append()) {
        ::usleep(1000);
    }
}

// A writer that has taken `seconds` of pictures and, with `sound`, sound; null if it failed.
std::unique_ptr<Mp4Writer> record(const std::filesystem::path& path, double seconds, bool sound) {
    std::optional<Error> error;
    Mp4WriterSettings settings{
        QString::fromStdString(path.string()),
        {VideoTrackSettings::Codec::h264High, kWidth, kHeight, kRate, 2'000'000, 2 * kRate},
        sound ? std::optional(SoundTrackSettings{}) : std::nullopt};
    std::unique_ptr<Mp4Writer> writer = makeFfmpegMp4WriterFactory()(settings, error);
    std::promise<std::optional<Error>> opened;
    if (writer) {
        writer->open([&](std::optional<Error> e) { opened.set_value(e); });
    }
    if (!writer || opened.get_future().get()) {
        return nullptr;
    }
    writer->begin(0);
    for (int i = 0; i < seconds * kRate; ++i) {
        handOver([&] { return writer->appendVideo(frameAt(double(i) / kRate)); });
        for (int64_t at = int64_t(i) * 1'000'000'000 / kRate;
             sound && at < int64_t(i + 1) * 1'000'000'000 / kRate; at += 10'000'000) {
            handOver([&] {
                return writer->appendSound(
                    SoundBlock{at, 48000, 2, std::vector<float>(960, 0.25f)});
            });
        }
    }
    return writer;
}

// In a child process: records `seconds` of media, then `still` seconds in real time in which
// the picture does not change and the sound goes on; tells the parent through `ready`, and waits
// to be killed.
[[noreturn]] void recordAndWait(const std::filesystem::path& path, double seconds, double still,
                                bool sound, int ready) {
    const std::unique_ptr<Mp4Writer> writer = record(path, seconds, sound);
    if (!writer) {
        _exit(1);
    }
    constexpr int64_t kBlockNs = 10'000'000;
    for (auto at = int64_t(seconds * 1e9); at < int64_t((seconds + still) * 1e9); at += kBlockNs) {
        ::usleep(kBlockNs / 1000);
        if (sound) {
            handOver([&] {
                return writer->appendSound(
                    SoundBlock{at, 48000, 2, std::vector<float>(960, 0.25f)});
            });
        }
    }
    const char done = 1;
    static_cast<void>(::write(ready, &done, 1));
    for (;;) {
        ::pause();
    }
}

// Records in a child and kills it with SIGKILL once it has handed over all its media.
void recordAndKill(const std::filesystem::path& path, double seconds, double still, bool sound) {
    int pipeEnds[2];
    ASSERT_EQ(::pipe(pipeEnds), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        recordAndWait(path, seconds, still, sound, pipeEnds[1]);
    }
    char done = 0;
    ASSERT_EQ(::read(pipeEnds[0], &done, 1), 1);
    ::close(pipeEnds[0]);
    ::close(pipeEnds[1]);
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
}

std::vector<uint32_t> topLevelBoxes(const std::filesystem::path& path) {
    std::vector<uint32_t> types;
    const uint64_t size = std::filesystem::file_size(path);
    const int fd = ::open(path.c_str(), O_RDONLY);
    for (uint64_t at = 0; at < size;) {
        const std::optional<mp4::Box> box = mp4::readBoxHeader(fd, at, size);
        if (!box) {
            break;
        }
        types.push_back(box->type);
        at = box->end();
    }
    ::close(fd);
    return types;
}

// A normal stop: an ordinary file whose one index comes before the media data, for players that
// stream it, and nothing left of the fragments or the marker.
TEST(FinishedRecording, IsAnOrdinaryFileWithItsIndexFirst) {
    ScratchFolder folder;
    const std::filesystem::path path = folder.file("done.mp4");
    const std::unique_ptr<Mp4Writer> writer = record(path, 3, true);
    ASSERT_TRUE(writer);
    std::promise<std::optional<Error>> finished;
    writer->finish(3'000'000'000, [&](std::optional<Error> e) { finished.set_value(e); });
    ASSERT_FALSE(finished.get_future().get());
    const std::vector<uint32_t> boxes = topLevelBoxes(path);
    const auto first = [&](const char* type) {
        return std::find(boxes.begin(), boxes.end(), mp4::fourcc(type)) - boxes.begin();
    };
    EXPECT_EQ(std::count(boxes.begin(), boxes.end(), mp4::fourcc("moov")), 1);
    EXPECT_LT(first("moov"), first("mdat"));
    EXPECT_EQ(first("moof"), static_cast<ptrdiff_t>(boxes.size()));
    EXPECT_EQ(first("uuid"), static_cast<ptrdiff_t>(boxes.size())) << "the marker is gone";
    EXPECT_FALSE(mp4::isCutOffRecording(path));
    EXPECT_NEAR(MediaProbe(path).duration().value_or(0), 3.0, 0.05);
}

TEST(CutOffRecording, PlaysToItsLastSecondAndTheNextStartFinishesItOnce) {
    struct {
        double seconds, still;
        bool sound;
    } const cases[] = {{3, 0, false}, {20, 0, true}, {1, 4, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.seconds) + " s, still for " + std::to_string(c.still) +
                     (c.sound ? " s, with sound" : " s"));
        ScratchFolder folder;
        const std::filesystem::path cut = folder.file("cut.mp4");
        recordAndKill(cut, c.seconds, c.still, c.sound);
        // What a player makes of it as it was left: every track up to 2 s before the kill.
        const double killedAt = c.seconds + c.still;
        for (const char* type : {"video", "audio"}) {
            for (const auto& stream : MediaProbe(cut).streams(type)) {
                EXPECT_GE(std::stod(stream.at("duration")), killedAt - 2) << type;
            }
        }

        // Somebody else's files beside it, fragmented or not, are left as they are.
        const std::filesystem::path theirs = folder.file("theirs.mp4");
        ASSERT_TRUE(
            runCommand("ffmpeg -v error -f lavfi -i testsrc=size=64x48:rate=10 -t 1 "
                       "-movflags +frag_keyframe+empty_moov '" +
                       theirs.string() + "'"));
        const auto theirSize = std::filesystem::file_size(theirs);

        // A recording written since the program started is not cut off: it is being written.
        const auto killed = std::filesystem::last_write_time(cut);
        const mp4::RecoveryReport early = mp4::recoverRecordings(folder.path(), killed);
        EXPECT_TRUE(early.recovered.empty() && mp4::isCutOffRecording(cut));

        const auto now = std::filesystem::file_time_type::clock::now();
        const mp4::RecoveryReport first = mp4::recoverRecordings(folder.path(), now);
        EXPECT_EQ(first.recovered, std::vector<std::filesystem::path>{cut});
        EXPECT_TRUE(first.unrecoverable.empty());
        const mp4::RecoveryReport second = mp4::recoverRecordings(folder.path(), now);
        EXPECT_TRUE(second.recovered.empty() && second.unrecoverable.empty());
        EXPECT_EQ(std::filesystem::file_size(theirs), theirSize);

        // An ordinary file: one index, no fragments, and each frame's colour at its time.
        const std::vector<uint32_t> boxes = topLevelBoxes(cut);
        EXPECT_EQ(std::count(boxes.begin(), boxes.end(), mp4::fourcc("moov")), 1);
        EXPECT_EQ(std::count(boxes.begin(), boxes.end(), mp4::fourcc("moof")), 0);
        const MediaProbe probe(cut);
        EXPECT_GE(probe.duration().value_or(0), killedAt - 2);
        const auto packets = probe.videoPackets();
        const auto frames = probe.decodedFrames();
        ASSERT_EQ(packets.size(), frames.size());
        ASSERT_GE(packets.size(), size_t(std::min(c.seconds, killedAt - 2) * kRate));
        for (size_t i = 0; i < packets.size() && packets[i].time < c.seconds; i += kRate / 2) {
            const size_t centre = (kHeight / 2 * kWidth + kWidth / 2) * 3;
            for (size_t k = 0; k < 3; ++k) {
                EXPECT_NEAR(frames[i][centre + k], colourAt(packets[i].time)[k], 10)
                    << "frame " << i << " at " << packets[i].time;
            }
        }
        EXPECT_EQ(probe.streams("audio").size(), c.sound ? 1u : 0u);
    }
}

}  // namespace
}  // namespace vantorel::testing
