#pragma once

#include <functional>

#include "platform/error.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace vantorel {

// Sends `frame` (null to flush) to the encoder and hands every packet it has ready to
// `takePacket`, which owns what it does with it. Returns the first error, or null.
ErrorRef sendAndReceive(AVCodecContext& codec, const AVFrame* frame, AVPacket& packet,
                        const std::function<ErrorRef(AVPacket&)>& takePacket);

}  // namespace vantorel
