#include "platform/ffmpeg/codec_drain.h"

namespace vantorel {

int sendAndReceive(AVCodecContext& codec, const AVFrame* frame, AVPacket& packet,
                   const std::function<int(AVPacket&)>& takePacket) {
    if (const int result = avcodec_send_frame(&codec, frame); result < 0) {
        return result;
    }
    for (;;) {
        const int result = avcodec_receive_packet(&codec, &packet);
        if (result == AVERROR(EAGAIN) || result == AVERROR_EOF) {
            return 0;
        }
        if (result < 0) {
            return result;
        }
        if (const int taken = takePacket(packet); taken < 0) {
            return taken;
        }
    }
}

}  // namespace vantorel
