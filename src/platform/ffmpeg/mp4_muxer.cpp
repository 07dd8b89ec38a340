#include "platform/ffmpeg/mp4_muxer.h"

#include "platform/mp4/recording_finalizer.h"
#include "platform/mp4/recording_marker.h"
#include "platform/mp4/start_skip.h"

namespace vantorel {

namespace {
// How much media a crash may cost at most, as the media time between two fragments. Half a
// second rather than a whole one also halves what FFmpeg holds of the fragment being built,
// 1 to 2 MB at 1080p and 60 fps: a share of a recording's peak memory.
constexpr int64_t kFragmentMs = 500;
// Room kept near the start of the file, so that a finished recording's index can be put where a
// player streaming the file finds it first: about 8 minutes at 60 frames a second with sound.
constexpr uint32_t kIndexReserve = 512 * 1024;
}  // namespace

void Mp4Muxer::ContextDeleter::operator()(AVFormatContext* context) const {
    avformat_free_context(context);  // the I/O context is the file's own
}

Mp4Muxer::Mp4Muxer(std::unique_ptr<OutputFile> file) : file_(std::move(file)) {}

Mp4Muxer::~Mp4Muxer() {
    std::lock_guard lock(mutex_);
    context_.reset();
    static_cast<void>(file_->close());
}

std::unique_ptr<Mp4Muxer> Mp4Muxer::create(const std::filesystem::path& path, int streams,
                                           int& errorCode) {
    std::unique_ptr<OutputFile> file = OutputFile::create(path, errorCode);
    if (!file) {
        return nullptr;
    }
    std::unique_ptr<Mp4Muxer> muxer(new Mp4Muxer(std::move(file)));
    muxer->priming_.assign(static_cast<size_t>(streams), 0);
    AVFormatContext* raw = nullptr;
    const int result = avformat_alloc_output_context2(&raw, nullptr, "mp4", path.c_str());
    muxer->context_.reset(raw);
    for (int i = 0; result >= 0 && i < streams; ++i) {
        if (avformat_new_stream(raw, nullptr) == nullptr) {
            muxer->context_.reset();
        }
    }
    if (!muxer->context_) {
        errorCode = ENOMEM;
        muxer->discard();
        return nullptr;
    }
    raw->pb = muxer->file_->io();
    raw->flags |= AVFMT_FLAG_CUSTOM_IO;
    muxer->globalHeader_ = (raw->oformat->flags & AVFMT_GLOBALHEADER) != 0;
    return muxer;
}

int Mp4Muxer::describeStream(int index, const AVCodecContext& encoder) {
    std::lock_guard lock(mutex_);
    if (!context_) {
        return AVERROR(EBADF);
    }
    AVStream* stream = context_->streams[index];
    stream->time_base = encoder.time_base;
    if (encoder.codec_type == AVMEDIA_TYPE_AUDIO && encoder.initial_padding > 0) {
        priming_[static_cast<size_t>(index)] = av_rescale_q(
            encoder.initial_padding, AVRational{1, encoder.sample_rate}, encoder.time_base);
    }
    return avcodec_parameters_from_context(stream->codecpar, &encoder);
}

int Mp4Muxer::writeHeader() {
    std::lock_guard lock(mutex_);
    if (!context_) {
        return AVERROR(EBADF);
    }
    // Fragments that the program cuts itself, each with the index of its own samples; no
    // fragment index at the end, as the finished file gets an ordinary one instead.
    AVDictionary* options = nullptr;
    av_dict_set(&options, "movflags", "+frag_custom+empty_moov+default_base_moof+skip_trailer", 0);
    // The muxer picks each track's time scale as it starts; the edit lists are in that.
    std::vector<AVRational> encoderTimeBases;
    for (unsigned i = 0; i < context_->nb_streams; ++i) {
        encoderTimeBases.push_back(context_->streams[i]->time_base);
    }
    int result = avformat_init_output(context_.get(), &options);
    av_dict_free(&options);
    std::vector<uint8_t> header;
    if (result >= 0) {
        result = writeHeaderInto(header);
    }
    if (result < 0) {
        return result;
    }
    // FFmpeg writes no edit list into a fragmented file's first movie box; the tracks' priming
    // needs one (see start_skip.h).
    std::vector<uint32_t> skips;
    for (size_t i = 0; i < priming_.size(); ++i) {
        skips.push_back(static_cast<uint32_t>(
            av_rescale_q(priming_[i], encoderTimeBases[i], context_->streams[i]->time_base)));
    }
    header = mp4::withStartSkips(header, skips);
    avio_write(context_->pb, header.data(), static_cast<int>(header.size()));
    const std::vector<uint8_t> marker = mp4::inProgressMarker(kIndexReserve);
    avio_write(context_->pb, marker.data(), static_cast<int>(marker.size()));
    avio_flush(context_->pb);
    return context_->pb->error;
}

int Mp4Muxer::writeHeaderInto(std::vector<uint8_t>& header) {
    AVIOContext* memory = nullptr;
    if (const int opened = avio_open_dyn_buf(&memory); opened < 0) {
        return opened;
    }
    context_->pb = memory;
    const int result = avformat_write_header(context_.get(), nullptr);
    context_->pb = file_->io();
    uint8_t* bytes = nullptr;
    const int size = avio_close_dyn_buf(memory, &bytes);
    header.assign(bytes, bytes + std::max(size, 0));
    av_free(bytes);
    return result;
}

int Mp4Muxer::write(AVPacket& packet, AVRational timeBase, int index) {
    std::lock_guard lock(mutex_);
    if (!context_) {
        av_packet_unref(&packet);
        return AVERROR(EBADF);
    }
    const int64_t packetMs = av_rescale_q(packet.pts, timeBase, AVRational{1, 1000});
    if (fragmentStartMs_ != kUnset && packetMs - fragmentStartMs_ >= kFragmentMs) {
        if (const int cut = cutFragment(); cut < 0) {
            av_packet_unref(&packet);
            return cut;
        }
    }
    if (fragmentStartMs_ == kUnset) {
        fragmentStartMs_ = packetMs;
    }
    // The priming comes first on the track's media timeline, from 0 on; the edit list in the
    // header skips it.
    const int64_t priming = priming_[static_cast<size_t>(index)];
    packet.pts += packet.pts != AV_NOPTS_VALUE ? priming : 0;
    packet.dts += packet.dts != AV_NOPTS_VALUE ? priming : 0;
    packet.stream_index = index;
    av_packet_rescale_ts(&packet, timeBase, context_->streams[index]->time_base);
    // Takes the packet's reference; the interleaver holds packets until every track caught up.
    const int result = av_interleaved_write_frame(context_.get(), &packet);
    return result < 0 ? result : context_->pb->error;
}

int Mp4Muxer::flush() {
    std::lock_guard lock(mutex_);
    if (!context_) {
        return 0;
    }
    // Nothing arrived since the last cut.
    if (fragmentStartMs_ == kUnset) {
        return context_->pb->error;
    }
    return cutFragment();
}

int Mp4Muxer::cutFragment() {
    // Cuts a fragment of what the muxer holds, and hands it to the kernel: no fsync, which would
    // stall the encoder for the disk; the kernel writes it out even if this process dies. The
    // packets waiting to be interleaved go in first: while the screen is still, the sound would
    // otherwise wait there for the next picture.
    int result = av_interleaved_write_frame(context_.get(), nullptr);
    if (result >= 0) {
        result = av_write_frame(context_.get(), nullptr);
    }
    avio_flush(context_->pb);
    fragmentStartMs_ = kUnset;
    return result < 0 ? result : context_->pb->error;
}

int Mp4Muxer::finish() {
    std::lock_guard lock(mutex_);
    if (!context_) {
        return AVERROR(EBADF);
    }
    // The trailer writes the last fragment and reports a write error.
    const int result = av_write_trailer(context_.get());
    if (result >= 0) {
        avio_flush(context_->pb);
        // A file whose fragments could not be indexed as one still plays, and keeps its marker,
        // so the next start finishes it: it is kept either way.
        static_cast<void>(mp4::finishRecordingFile(file_->fd()));
    }
    context_.reset();
    const int closed = file_->close();
    complete_ = result >= 0 && closed == 0;
    return result < 0 ? result : AVERROR(closed);
}

void Mp4Muxer::discard() {
    std::lock_guard lock(mutex_);
    context_.reset();
    if (!complete_) {
        file_->discard();
    }
}

}  // namespace vantorel
