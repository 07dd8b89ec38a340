#include "platform/ffmpeg/codec_drain.h"

#include "platform/ffmpeg/av_error.h"

namespace vantorel {

ErrorRef sendAndReceive(AVCodecContext& codec, const AVFrame* frame, AVPacket& packet,
                        const std::function<ErrorRef(AVPacket&)>& takePacket) {
    if (const int result = avcodec_send_frame(&codec, frame); result < 0) {
        return errorFromAv(result);
    }
    for (;;) {
        const int result = avcodec_receive_packet(&codec, &packet);
        if (result == AVERROR(EAGAIN) || result == AVERROR_EOF) {
            return nullptr;
        }
        if (result < 0) {
            return errorFromAv(result);
        }
        if (ErrorRef error = takePacket(packet)) {
            return error;
        }
    }
}

}  // namespace vantorel
