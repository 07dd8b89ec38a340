#include "platform/ffmpeg/mp4_muxer.h"

#include "platform/ffmpeg/av_error.h"

namespace vantorel {

void Mp4Muxer::ContextDeleter::operator()(AVFormatContext* context) const {
    avio_closep(&context->pb);
    avformat_free_context(context);
}

Mp4Muxer::Mp4Muxer(std::filesystem::path path) : path_(std::move(path)) {}

Mp4Muxer::~Mp4Muxer() {
    close();
}

std::unique_ptr<Mp4Muxer> Mp4Muxer::create(const std::filesystem::path& path, ErrorRef& error) {
    std::unique_ptr<Mp4Muxer> muxer(new Mp4Muxer(path));
    AVFormatContext* raw = nullptr;
    int result = avformat_alloc_output_context2(&raw, nullptr, "mp4", path.c_str());
    if (result < 0) {
        error = errorFromAv(result);
        return nullptr;
    }
    muxer->context_.reset(raw);
    result = avio_open(&raw->pb, path.c_str(), AVIO_FLAG_WRITE);
    if (result < 0) {
        error = errorFromAv(result);
        return nullptr;
    }
    return muxer;
}

bool Mp4Muxer::wantsGlobalHeader() const {
    return context_ && (context_->oformat->flags & AVFMT_GLOBALHEADER) != 0;
}

int Mp4Muxer::addStream(const AVCodecContext& encoder, ErrorRef& error) {
    std::lock_guard lock(mutex_);
    AVStream* stream = context_ ? avformat_new_stream(context_.get(), nullptr) : nullptr;
    if (stream == nullptr) {
        error = errorFromAv(AVERROR(ENOMEM));
        return -1;
    }
    const int result = avcodec_parameters_from_context(stream->codecpar, &encoder);
    if (result < 0) {
        error = errorFromAv(result);
        return -1;
    }
    stream->time_base = encoder.time_base;
    return stream->index;
}

ErrorRef Mp4Muxer::writeHeader() {
    std::lock_guard lock(mutex_);
    if (!context_) {
        return errorFromAv(AVERROR(EBADF));
    }
    const int result = avformat_write_header(context_.get(), nullptr);
    return result < 0 ? errorFromAv(result) : nullptr;
}

ErrorRef Mp4Muxer::write(AVPacket& packet, AVRational timeBase, int streamIndex) {
    std::lock_guard lock(mutex_);
    if (!context_) {
        av_packet_unref(&packet);
        return errorFromAv(AVERROR(EBADF));
    }
    packet.stream_index = streamIndex;
    av_packet_rescale_ts(&packet, timeBase, context_->streams[streamIndex]->time_base);
    // Takes the packet's reference; the interleaver holds packets until every track caught up.
    const int result = av_interleaved_write_frame(context_.get(), &packet);
    return result < 0 ? errorFromAv(result) : nullptr;
}

ErrorRef Mp4Muxer::finish() {
    std::lock_guard lock(mutex_);
    if (!context_) {
        return errorFromAv(AVERROR(EBADF));
    }
    // The trailer flushes the interleaver and the buffered bytes and reports a write error.
    int result = av_write_trailer(context_.get());
    if (result >= 0) {
        result = avio_closep(&context_->pb);
    }
    context_.reset();
    return result < 0 ? errorFromAv(result) : nullptr;
}

void Mp4Muxer::close() {
    std::lock_guard lock(mutex_);
    context_.reset();
}

void Mp4Muxer::discard() {
    close();
    // Only ever a file that we made: never a device or whatever else the path names.
    std::error_code ignored;
    if (std::filesystem::is_regular_file(std::filesystem::symlink_status(path_, ignored))) {
        std::filesystem::remove(path_, ignored);
    }
}

}  // namespace vantorel
