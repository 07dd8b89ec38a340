#pragma once

#include <atomic>
#include <future>
#include <memory>
#include <optional>
#include <utility>

namespace vantorel {

// One answer handed from whichever thread produces it to the one thread that waits for it.
//
// Platform completions are promised to run exactly once. A second answer is ignored rather than
// thrown on a thread that cannot catch it, and when every copy of the sender is dropped without
// an answer (a service that lost its completion), the waiter wakes with an absent answer instead
// of sleeping for ever.
template <typename T>
class OneShot {
  public:
    // The sending half, copyable into a std::function completion.
    class Sender {
      public:
        // Called on any thread. Only the first answer counts.
        void operator()(T value) const { link_->state->settle(std::optional<T>(std::move(value))); }

      private:
        friend class OneShot;
        struct Link {
            explicit Link(std::shared_ptr<OneShot> s) : state(std::move(s)) {}
            Link(const Link&) = delete;
            Link& operator=(const Link&) = delete;
            ~Link() { state->settle(std::nullopt); }
            std::shared_ptr<OneShot> state;
        };
        explicit Sender(std::shared_ptr<OneShot> state)
            : link_(std::make_shared<Link>(std::move(state))) {}
        std::shared_ptr<Link> link_;
    };

    // A new channel: the sender to hand out, and the waiting half to keep.
    static std::pair<Sender, std::shared_ptr<OneShot>> make() {
        std::shared_ptr<OneShot> shot(new OneShot());
        return {Sender(shot), shot};
    }

    OneShot(const OneShot&) = delete;
    OneShot& operator=(const OneShot&) = delete;

    // Called once, on the waiting thread. Absent when the answer was abandoned.
    std::optional<T> wait() { return future_.get(); }

  private:
    OneShot() : future_(promise_.get_future()) {}

    void settle(std::optional<T> value) {
        if (!settled_.test_and_set()) {
            promise_.set_value(std::move(value));
        }
    }

    std::promise<std::optional<T>> promise_;
    std::future<std::optional<T>> future_;
    std::atomic_flag settled_;
};

}  // namespace vantorel
