#include "colour_schedule.h"

#include <utility>

namespace vantorel::testing {

ColourSchedule::ColourSchedule(ColorWindow& window, std::vector<uint32_t> colours,
                               std::chrono::milliseconds period)
    : window_(window), colours_(std::move(colours)), period_(period) {
    if (!colours_.empty()) {
        draw(colours_.front());
    }
}

ColourSchedule::~ColourSchedule() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable()) {
        thread_.join();
    }
}

void ColourSchedule::begin() {
    thread_ = std::thread([this] { run(); });
}

bool ColourSchedule::waitUntilDrawn() {
    const auto guard = period_ * static_cast<int>(colours_.size()) + std::chrono::seconds(30);
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, guard, [this] { return drawn_.size() >= colours_.size(); });
}

std::vector<DrawnColour> ColourSchedule::drawn() const {
    std::lock_guard lock(mutex_);
    return drawn_;
}

std::optional<uint32_t> ColourSchedule::colourAt(const MediaTime& t,
                                                 std::chrono::nanoseconds slack) const {
    const int64_t at = t.nanoseconds();
    std::optional<uint32_t> colour;
    for (const DrawnColour& change : drawn()) {
        if (at < change.before.nanoseconds() - slack.count()) {
            break;
        }
        if (at <= change.after.nanoseconds() + slack.count()) {
            return std::nullopt;  // too close to this change to tell
        }
        colour = change.rgb;
    }
    return colour;
}

void ColourSchedule::draw(uint32_t rgb) {
    const MediaTime before = clock_.now();
    window_.fill(rgb);  // returns once the server has drawn it
    const MediaTime after = clock_.now();
    {
        std::lock_guard lock(mutex_);
        drawn_.push_back(DrawnColour{rgb, before, after});
    }
    changed_.notify_all();
}

void ColourSchedule::run() {
    auto next = std::chrono::steady_clock::now();
    for (size_t i = 1; i < colours_.size(); ++i) {
        next += period_;
        {
            std::unique_lock lock(mutex_);
            if (changed_.wait_until(lock, next, [this] { return stopping_; })) {
                return;
            }
        }
        draw(colours_[i]);
    }
}

}  // namespace vantorel::testing
