#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace vantorel {

// The one thread of a writer's track, serving the track's queue in order.
//
// The queue is bounded for media only: an item (a frame, a sound block) is refused while
// `capacity` items are waiting or being encoded, so that whoever appends never waits for the
// encoder. Steps (set-up, finishing) are always queued.
class TrackThread {
  public:
    using Task = std::function<void()>;

    // `name` names the thread (as ps and top show it, cut to 15 bytes by the kernel). `idle`,
    // when given, runs on the thread whenever nothing arrived for half a second: housekeeping that
    // must happen even while the track gets nothing to encode.
    TrackThread(const std::string& name, int capacity, Task idle = {});
    // Stops the thread (see stop()).
    ~TrackThread();

    TrackThread(const TrackThread&) = delete;
    TrackThread& operator=(const TrackThread&) = delete;

    // Any thread. False, and nothing queued, when the queue is full or the thread stopped.
    bool tryPostItem(Task item);
    // Any thread. Whether an item would be taken now; with a single poster it still will be
    // when that poster posts, unless the thread stops in between.
    bool hasRoomForItem();
    // Any thread. Queues a step behind everything queued so far.
    void postStep(Task step);
    // Owner's thread, never the track thread itself. Drops what is queued, waits for the task
    // that is running and ends the thread; more than once does no harm.
    void stop();

  private:
    struct Queued {
        Task task;
        bool item = false;
    };

    // Runs on the track thread.
    void serve(const std::string& name);

    const int capacity_;
    const Task idle_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Queued> queue_;
    int items_ = 0;  // queued or running
    bool stopping_ = false;
    std::thread thread_;  // last: started once the members above exist
};

}  // namespace vantorel
