#include "platform/wayland/pipewire_params.h"

#include <spa/buffer/buffer.h>
#include <spa/buffer/meta.h>
#include <spa/param/buffers.h>
#include <spa/param/format-utils.h>
#include <spa/param/video/format-utils.h>
#include <spa/pod/builder.h>

// Damage regions per buffer: more than a compositor sends for one frame in practice.
enum { DAMAGE_REGIONS = 16 };

uint32_t vantorel_screen_format_params(uint8_t* buffer, size_t size, const struct spa_pod** params,
                                       uint32_t maxFramesPerSecond) {
    struct spa_pod_builder builder = SPA_POD_BUILDER_INIT(buffer, (uint32_t)size);
    params[0] = spa_pod_builder_add_object(
        &builder, SPA_TYPE_OBJECT_Format, SPA_PARAM_EnumFormat,
        SPA_FORMAT_mediaType, SPA_POD_Id(SPA_MEDIA_TYPE_video),
        SPA_FORMAT_mediaSubtype, SPA_POD_Id(SPA_MEDIA_SUBTYPE_raw),
        SPA_FORMAT_VIDEO_format,
        SPA_POD_CHOICE_ENUM_Id(3, SPA_VIDEO_FORMAT_BGRx, SPA_VIDEO_FORMAT_BGRx,
                               SPA_VIDEO_FORMAT_BGRA),
        SPA_FORMAT_VIDEO_size,
        SPA_POD_CHOICE_RANGE_Rectangle(&SPA_RECTANGLE(1920, 1080), &SPA_RECTANGLE(1, 1),
                                       &SPA_RECTANGLE(16384, 16384)),
        SPA_FORMAT_VIDEO_framerate, SPA_POD_Fraction(&SPA_FRACTION(0, 1)),
        SPA_FORMAT_VIDEO_maxFramerate,
        SPA_POD_CHOICE_RANGE_Fraction(&SPA_FRACTION(maxFramesPerSecond, 1),
                                      &SPA_FRACTION(1, 1),
                                      &SPA_FRACTION(maxFramesPerSecond, 1)));
    return params[0] != NULL ? 1 : 0;
}

uint32_t vantorel_screen_buffer_params(uint8_t* buffer, size_t size, const struct spa_pod** params,
                                       int32_t stride, int32_t height) {
    struct spa_pod_builder builder = SPA_POD_BUILDER_INIT(buffer, (uint32_t)size);
    params[0] = spa_pod_builder_add_object(
        &builder, SPA_TYPE_OBJECT_ParamBuffers, SPA_PARAM_Buffers,
        SPA_PARAM_BUFFERS_buffers, SPA_POD_CHOICE_RANGE_Int(8, 2, 16),
        SPA_PARAM_BUFFERS_blocks, SPA_POD_Int(1),
        SPA_PARAM_BUFFERS_size, SPA_POD_Int(stride * height),
        SPA_PARAM_BUFFERS_stride, SPA_POD_Int(stride),
        SPA_PARAM_BUFFERS_dataType,
        SPA_POD_CHOICE_FLAGS_Int((1 << SPA_DATA_MemPtr) | (1 << SPA_DATA_MemFd)));
    params[1] = spa_pod_builder_add_object(
        &builder, SPA_TYPE_OBJECT_ParamMeta, SPA_PARAM_Meta,
        SPA_PARAM_META_type, SPA_POD_Id(SPA_META_Header),
        SPA_PARAM_META_size, SPA_POD_Int(sizeof(struct spa_meta_header)));
    params[2] = spa_pod_builder_add_object(
        &builder, SPA_TYPE_OBJECT_ParamMeta, SPA_PARAM_Meta,
        SPA_PARAM_META_type, SPA_POD_Id(SPA_META_VideoDamage),
        SPA_PARAM_META_size,
        SPA_POD_CHOICE_RANGE_Int(sizeof(struct spa_meta_region) * DAMAGE_REGIONS,
                                 sizeof(struct spa_meta_region) * 1,
                                 sizeof(struct spa_meta_region) * DAMAGE_REGIONS));
    return (params[0] && params[1] && params[2]) ? 3 : 0;
}

int vantorel_parse_screen_format(const struct spa_pod* param, uint32_t* format, uint32_t* width,
                                 uint32_t* height) {
    struct spa_video_info_raw info;
    uint32_t mediaType = 0;
    uint32_t mediaSubtype = 0;
    if (param == NULL || spa_format_parse(param, &mediaType, &mediaSubtype) < 0 ||
        mediaType != SPA_MEDIA_TYPE_video || mediaSubtype != SPA_MEDIA_SUBTYPE_raw ||
        spa_format_video_raw_parse(param, &info) < 0) {
        return 0;
    }
    *format = info.format;
    *width = info.size.width;
    *height = info.size.height;
    return 1;
}

uint32_t vantorel_format_bgrx(void) {
    return SPA_VIDEO_FORMAT_BGRx;
}

uint32_t vantorel_format_bgra(void) {
    return SPA_VIDEO_FORMAT_BGRA;
}
