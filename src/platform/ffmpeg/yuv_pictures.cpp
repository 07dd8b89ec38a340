#include "platform/ffmpeg/yuv_pictures.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstring>

#include "platform/ffmpeg/bgra_converter.h"

extern "C" {
#include <libavutil/buffer.h>
}

namespace vantorel {

namespace {
// Rows start on a 64-byte boundary, which every SIMD path of libyuv and x264 reads fastest.
constexpr int kRowAlignment = 64;
// Pictures that stay mapped: one being converted, one queued, and the encoder's last.
constexpr size_t kKeptPictures = 3;
// How often spares are looked at: half a second of frames at 60 fps. At 4K on two cores a fourth
// picture is needed every few frames; at 1080p, once in half a minute.
constexpr size_t kTakesBetweenTrims = 30;

int alignUp(int value) {
    return (value + kRowAlignment - 1) / kRowAlignment * kRowAlignment;
}
}  // namespace

void YuvPictures::Unmap::operator()(uint8_t* data) const {
    munmap(data, bytes);
}

YuvPictures::Mapping YuvPictures::Shelf::take() {
    std::vector<Mapping> idle;  // unmapped once the lock is let go
    {
        std::lock_guard lock(mutex);
        Mapping mapping(nullptr, Unmap{bytes});
        if (!spare.empty()) {
            mapping = std::move(spare.back());
            spare.pop_back();
        }
        fewestSpare = std::min(fewestSpare, spare.size());
        if (++takes == kTakesBetweenTrims) {
            // As many spares as were left after every take were never needed.
            for (size_t surplus = std::min(fewestSpare, mapped - std::min(mapped, kKeptPictures));
                 surplus > 0; --surplus) {
                idle.push_back(std::move(spare.back()));
                spare.pop_back();
                --mapped;
            }
            takes = 0;
            fewestSpare = SIZE_MAX;
        }
        if (mapping) {
            return mapping;
        }
    }
    void* data = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (data == MAP_FAILED) {
        return Mapping(nullptr, Unmap{bytes});
    }
    {
        std::lock_guard lock(mutex);
        ++mapped;
    }
    // Where the process allows huge pages (large pictures, see memory_policy.h), a new picture
    // takes a few faults instead of thousands.
    static_cast<void>(madvise(data, bytes, MADV_HUGEPAGE));
    return Mapping(static_cast<uint8_t*>(data), Unmap{bytes});
}

void YuvPictures::Shelf::giveBack(uint8_t* data) {
    Mapping mapping(data, Unmap{bytes});
    std::lock_guard lock(mutex);
    spare.push_back(std::move(mapping));
}

// The buffer's own release: each picture holds a reference to the shelf, given up here.
void YuvPictures::release(void* shelf, uint8_t* data) {
    const std::unique_ptr<std::shared_ptr<Shelf>> holder(
        static_cast<std::shared_ptr<Shelf>*>(shelf));
    (*holder)->giveBack(data);
}

YuvPictures::YuvPictures(int width, int height) : width_(width), height_(height) {
    const int chromaHeight = (height + 1) / 2;
    linesizes_[0] = alignUp(width);
    linesizes_[1] = alignUp((width + 1) / 2);
    linesizes_[2] = linesizes_[1];
    planeOffsets_[1] = static_cast<size_t>(linesizes_[0]) * height;
    planeOffsets_[2] = planeOffsets_[1] + static_cast<size_t>(linesizes_[1]) * chromaHeight;
    if (width > 0 && height > 0) {
        shelf_ = std::make_shared<Shelf>(planeOffsets_[2] +
                                         static_cast<size_t>(linesizes_[2]) * chromaHeight);
    }
}

void YuvPictures::prepare() {
    if (!shelf_) {
        return;
    }
    std::vector<Mapping> made;
    for (size_t i = 0; i < kKeptPictures; ++i) {
        Mapping mapping = shelf_->take();
        if (!mapping) {
            break;  // make() finds out when it matters
        }
        std::memset(mapping.get(), 0, shelf_->bytes);
        made.push_back(std::move(mapping));
    }
    for (Mapping& mapping : made) {
        shelf_->giveBack(mapping.release());
    }
}

FramePtr YuvPictures::make(const VideoFrame& frame) {
    if (!shelf_) {
        return nullptr;
    }
    Mapping memory = shelf_->take();
    if (!memory) {
        return nullptr;
    }
    FramePtr picture(av_frame_alloc());
    auto holder = std::make_unique<std::shared_ptr<Shelf>>(shelf_);
    if (picture) {
        picture->buf[0] =
            av_buffer_create(memory.get(), shelf_->bytes, &YuvPictures::release, holder.get(), 0);
    }
    if (!picture || !picture->buf[0]) {
        shelf_->giveBack(memory.release());
        return nullptr;
    }
    static_cast<void>(memory.release());  // the buffer owns both now
    static_cast<void>(holder.release());
    picture->format = AV_PIX_FMT_YUV420P;
    picture->width = width_;
    picture->height = height_;
    for (int plane = 0; plane < 3; ++plane) {
        picture->data[plane] = picture->buf[0]->data + planeOffsets_[plane];
        picture->linesize[plane] = linesizes_[plane];
    }
    BgraConverter::convert(frame, *picture);
    return picture;
}

size_t YuvPictures::mappedPictures() const {
    if (!shelf_) {
        return 0;
    }
    std::lock_guard lock(shelf_->mutex);
    return shelf_->mapped;
}

}  // namespace vantorel
