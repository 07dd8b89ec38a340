#pragma once

// The parameters a screen-capture stream offers PipeWire: raw video in the 32-bit layouts that
// need no conversion (BGRx, BGRA), at any size and at most `maxFramesPerSecond`; buffers in
// memory that can be mapped for reading (shared memory, not DMA-BUF, which may not map); and the
// header and damage metadata. Written in C because libspa's builder macros are C.
#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

struct spa_pod;

// Builds the format offer into `buffer`; answers the number of parameters put in `params`
// (room for at least 4), 0 when `buffer` is too small.
uint32_t vantorel_screen_format_params(uint8_t* buffer, size_t size, const struct spa_pod** params,
                                       uint32_t maxFramesPerSecond);
// Builds the buffer and metadata requests for a negotiated frame of `stride` x `height`.
uint32_t vantorel_screen_buffer_params(uint8_t* buffer, size_t size, const struct spa_pod** params,
                                       int32_t stride, int32_t height);

// The layout and size of a negotiated format; 0 when `param` is no raw video format.
int vantorel_parse_screen_format(const struct spa_pod* param, uint32_t* format, uint32_t* width,
                                 uint32_t* height);

// The two layouts offered, as libspa numbers them.
uint32_t vantorel_format_bgrx(void);
uint32_t vantorel_format_bgra(void);

#ifdef __cplusplus
}
#endif
