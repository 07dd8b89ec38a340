#include "platform/ffmpeg/mp4_muxer.h"

namespace vantorel {

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
    return avcodec_parameters_from_context(stream->codecpar, &encoder);
}

int Mp4Muxer::writeHeader() {
    std::lock_guard lock(mutex_);
    return context_ ? avformat_write_header(context_.get(), nullptr) : AVERROR(EBADF);
}

int Mp4Muxer::write(AVPacket& packet, AVRational timeBase, int index) {
    std::lock_guard lock(mutex_);
    if (!context_) {
        av_packet_unref(&packet);
        return AVERROR(EBADF);
    }
    packet.stream_index = index;
    av_packet_rescale_ts(&packet, timeBase, context_->streams[index]->time_base);
    // Takes the packet's reference; the interleaver holds packets until every track caught up.
    return av_interleaved_write_frame(context_.get(), &packet);
}

int Mp4Muxer::finish() {
    std::lock_guard lock(mutex_);
    if (!context_) {
        return AVERROR(EBADF);
    }
    // The trailer flushes the interleaver and the buffered bytes and reports a write error.
    const int result = av_write_trailer(context_.get());
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
