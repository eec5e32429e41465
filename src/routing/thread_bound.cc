#include "routing/thread_bound.h"

#include <algorithm>

namespace vorn {

ThreadBound::ThreadBound(const Adjacency& joined, const std::vector<double>& values)
    : joined_(joined),
      values_(values),
      inner_stamp_(joined.node_count(), 0),
      half_stamp_(joined.node_count(), 0),
      halves_(joined.node_count()),
      caps_(joined.node_count(), 0) {
    ends_.reserve(joined.node_count());
    threads_.reserve(joined.node_count());
}

void ThreadBound::mark_inner(std::uint32_t node) { inner_stamp_[node] = now_; }

void ThreadBound::keep_best_per_pair() {
    std::sort(threads_.begin(), threads_.end(), [](const Thread& a, const Thread& b) {
        if (a.low != b.low) return a.low < b.low;
        if (a.high != b.high) return a.high < b.high;
        return a.value > b.value;
    });
    std::size_t kept = 0;
    for (std::size_t i = 0; i < threads_.size(); ++i) {
        if (kept > 0 && threads_[kept - 1].low == threads_[i].low && threads_[kept - 1].high == threads_[i].high) {
            continue;
        }
        threads_[kept++] = threads_[i];
    }
    threads_.resize(kept);
}

void ThreadBound::add_half(std::uint32_t end, int cap, int side, double half) {
    if (half_stamp_[end] != now_) {
        half_stamp_[end] = now_;
        halves_[end] = {0.0, 0.0, 0.0};
        ends_.push_back(end);
    }
    caps_[end] = static_cast<std::uint8_t>(cap);
    std::array<double, 3>& h = halves_[end];
    if (side == 1) {
        h[2] = std::max(h[2], half);
    } else if (half > h[0]) {
        h[1] = h[0];
        h[0] = half;
    } else {
        h[1] = std::max(h[1], half);
    }
}

double ThreadBound::sum_of_halves() const {
    double total = 0.0;
    for (std::uint32_t end : ends_) {
        const std::array<double, 3>& h = halves_[end];
        total += h[0] + (caps_[end] == 2 ? h[1] : 0.0) + h[2];
    }
    return total;
}

}  // namespace vorn
