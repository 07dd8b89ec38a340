#include "platform/serial_queue.h"

#include <pthread.h>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace vantorel {

struct SerialQueue::State {
    std::string label;
    std::mutex mutex;
    std::condition_variable wake;
    std::deque<Task> tasks;
    bool closing = false;
    std::thread::id workerId;
};

SerialQueue::SerialQueue(std::string label) : state_(std::make_shared<State>()) {
    state_->label = std::move(label);
    std::thread worker([state = state_] { serve(state); });
    state_->workerId = worker.get_id();
    // Linux limits thread names to 15 bytes plus the terminator.
    pthread_setname_np(worker.native_handle(), state_->label.substr(0, 15).c_str());
    worker.detach();
}

SerialQueue::~SerialQueue() {
    std::unique_lock lock(state_->mutex);
    state_->closing = true;
    state_->wake.notify_all();
    if (std::this_thread::get_id() == state_->workerId) {
        return;  // the worker drains the rest itself, keeping the state alive
    }
    // Wait until every task posted before destruction has run.
    state_->wake.wait(lock, [this] { return state_->tasks.empty() && !state_->closing; });
}

void SerialQueue::async(Task task) {
    std::lock_guard lock(state_->mutex);
    state_->tasks.push_back(std::move(task));
    state_->wake.notify_all();
}

bool SerialQueue::isCurrent() const {
    return std::this_thread::get_id() == state_->workerId;
}

const std::string& SerialQueue::label() const {
    return state_->label;
}

void SerialQueue::serve(const std::shared_ptr<State>& state) {
    std::unique_lock lock(state->mutex);
    for (;;) {
        state->wake.wait(lock, [&] { return !state->tasks.empty() || state->closing; });
        if (state->tasks.empty()) {
            // Closing and drained: tell the destructor that the worker is done.
            state->closing = false;
            state->wake.notify_all();
            return;
        }
        Task task = std::move(state->tasks.front());
        state->tasks.pop_front();
        lock.unlock();
        task();
        task = nullptr;  // release what the task captured before taking the lock again
        lock.lock();
    }
}

}  // namespace vantorel
