#pragma once

#include <functional>
#include <memory>
#include <string>

namespace vantorel {

// A first-in, first-out task queue served by one worker thread of its own.
// Thread-safe: tasks may be posted from any thread, including from a task on the queue.
class SerialQueue {
  public:
    using Task = std::function<void()>;

    // `label` names the worker thread (as shown by ps/top, cut to 15 bytes by the kernel).
    explicit SerialQueue(std::string label);
    // Runs every task already posted, then ends the worker. When the last owner lets go of the
    // queue from one of its own tasks, the worker finishes the remaining tasks on its own.
    ~SerialQueue();

    SerialQueue(const SerialQueue&) = delete;
    SerialQueue& operator=(const SerialQueue&) = delete;

    // Appends a task. Called from any thread.
    void async(Task task);
    // True when called from a task running on this queue.
    bool isCurrent() const;
    const std::string& label() const;

  private:
    struct State;
    static void serve(const std::shared_ptr<State>& state);

    std::shared_ptr<State> state_;
};

}  // namespace vantorel
