#pragma once

#include <functional>

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace vantorel {

// Sends `frame` (null to flush) to the encoder and hands every packet it has ready to
// `takePacket`, which owns what it does with it. Returns the first negative FFmpeg code, or 0.
int sendAndReceive(AVCodecContext& codec, const AVFrame* frame, AVPacket& packet,
                   const std::function<int(AVPacket&)>& takePacket);

}  // namespace vantorel
