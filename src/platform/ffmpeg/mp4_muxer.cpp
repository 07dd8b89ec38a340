#include "platform/ffmpeg/mp4_muxer.h"

#include "platform/ffmpeg/av_error.h"

namespace vantorel {

void Mp4Muxer::ContextDeleter::operator()(AVFormatContext* context) const {
    avformat_free_context(context);  // the I/O context is the file's own
}

Mp4Muxer::Mp4Muxer(std::unique_ptr<OutputFile> file) : file_(std::move(file)) {}

Mp4Muxer::~Mp4Muxer() {
    close();
}

std::unique_ptr<Mp4Muxer> Mp4Muxer::create(const std::filesystem::path& path, ErrorRef& error) {
    std::unique_ptr<OutputFile> file = OutputFile::create(path, error);
    if (!file) {
        return nullptr;
    }
    AVFormatContext* raw = nullptr;
    const int result = avformat_alloc_output_context2(&raw, nullptr, "mp4", path.c_str());
    if (result < 0) {
        error = errorFromAv(result);
        file->discard();
        return nullptr;
    }
    raw->pb = file->io();
    raw->flags |= AVFMT_FLAG_CUSTOM_IO;
    std::unique_ptr<Mp4Muxer> muxer(new Mp4Muxer(std::move(file)));
    muxer->context_.reset(raw);
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
    const int result = av_write_trailer(context_.get());
    context_.reset();
    ErrorRef closed = file_->close();
    return result < 0 ? errorFromAv(result) : closed;
}

void Mp4Muxer::close() {
    std::lock_guard lock(mutex_);
    context_.reset();
    static_cast<void>(file_->close());
}

void Mp4Muxer::discard() {
    std::lock_guard lock(mutex_);
    context_.reset();
    file_->discard();
}

}  // namespace vantorel
