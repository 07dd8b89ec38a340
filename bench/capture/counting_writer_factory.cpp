#include "counting_writer_factory.h"

#include "counting_writer.h"

namespace vantorel::bench {

namespace {

WriterQueueLengths lengthsWith(int videoQueue) {
    WriterQueueLengths lengths;
    if (videoQueue > 0) {
        lengths.video = videoQueue;
    }
    return lengths;
}

}  // namespace

CountingWriterFactory::CountingWriterFactory(std::shared_ptr<FrameTally> tally, int videoQueue)
    : inner_(lengthsWith(videoQueue)), tally_(std::move(tally)) {}

std::shared_ptr<MediaWriter> CountingWriterFactory::makeWriter(const std::filesystem::path& path,
                                                               ErrorRef& error) {
    std::shared_ptr<MediaWriter> writer = inner_.makeWriter(path, error);
    return writer ? std::make_shared<CountingWriter>(std::move(writer), tally_) : nullptr;
}

}  // namespace vantorel::bench
