#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <mutex>
#include <vector>

#include "capture/fakes/call_log.h"
#include "capture/fakes/fake_capture_service.h"
#include "capture/fakes/fake_host_clock.h"
#include "capture/fakes/fake_media_writer_factory.h"
#include "capture/recorder.h"

namespace vantorel::testing {

// What the recorder reported through onFailure, and whether every report came on its queue.
class FailureLog {
  public:
    void add(const ErrorRef& error, bool onSampleQueue);
    std::vector<ErrorRef> errors() const;
    bool allOnSampleQueue() const;

  private:
    mutable std::mutex mutex_;
    std::vector<ErrorRef> errors_;
    bool allOnSampleQueue_ = true;
};

// A recorder wired to fakes, with a private folder for its files.
class RecorderTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // 1920x1080 at 30 frames per second into a fresh file name in the test's folder.
    RecorderConfig config(bool capturesAudio = false) const;
    // Starts the recorder and waits for its answer.
    ErrorRef start(const RecorderConfig& config);
    // Starts a recording that is expected to succeed.
    void startRecording(bool capturesAudio = false);
    // Stops the recorder and waits for its answer.
    StopResult stop();

    std::shared_ptr<FakeCaptureStream> stream() const { return service->lastStream(); }
    std::shared_ptr<FakeMediaWriter> writer() const { return writers->lastWriter(); }
    void deliver(const SampleBufferRef& buffer, StreamOutputType type);
    // Waits until every buffer delivered so far has been handled.
    void settle();
    // Hands a buffer to the recorder on its queue directly, as a stream would, and waits.
    void handOver(const SampleBufferRef& buffer, StreamOutputType type);

    std::filesystem::path folder;
    std::filesystem::path outputPath;
    std::shared_ptr<CallLog> log;
    std::shared_ptr<FakeCaptureService> service;
    std::shared_ptr<FakeMediaWriterFactory> writers;
    std::shared_ptr<FakeHostClock> clock;
    std::shared_ptr<FailureLog> failures;
    std::shared_ptr<Recorder> recorder;
};

}  // namespace vantorel::testing
