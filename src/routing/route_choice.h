// The tie rules by which a route search picks one candidate, in a form that
// summarises a whole run of candidates. The search scores candidates in the
// order it reaches them and keeps a running best:
//
//   lowest score (LowestLatency): a candidate replaces the best only if the
//       best's score is strictly greater, so ties keep the earlier one;
//   highest score (other strategies): a candidate replaces the best unless
//       the best's score is strictly greater, so ties and NaN scores go to
//       the later one.
//
// A summary describes what a run of candidates does to any running best, and
// summaries compose (`then`). The search uses this to evaluate a repeated
// sub-search once and replay its effect, which gives the same choice as
// scoring every repeat.
#pragma once

#include <cmath>
#include <cstdint>
#include <optional>

namespace vorn {

// Where a candidate's node sequence is stored during a search.
struct PathRef {
    std::uint32_t offset = 0;
    std::uint32_t length = 0;
};

class HighestChoice {
public:
    static HighestChoice leaf(double score, PathRef path) {
        // A NaN candidate always replaces the best, and nothing before it matters.
        return {std::isnan(score) ? Kind::kReset : Kind::kRaise, score, path};
    }

    // The summary of `first` followed by `next`.
    static HighestChoice then(const HighestChoice& first, const HighestChoice& next) {
        if (next.kind_ != Kind::kRaise || first.kind_ == Kind::kNone) {
            return next.kind_ == Kind::kNone ? first : next;
        }
        const HighestChoice& kept = first.score_ > next.score_ ? first : next;
        return {first.kind_, kept.score_, kept.path_};
    }

    // The chosen candidate when the run is the whole candidate list.
    std::optional<PathRef> chosen() const {
        if (kind_ == Kind::kNone) return std::nullopt;
        return path_;
    }

    template <class Visit>
    void visit_paths(Visit&& visit) {
        if (kind_ != Kind::kNone) visit(path_);
    }

    HighestChoice() = default;

private:
    // kNone: no candidate. kReset: the result is this candidate whatever the
    // best was. kRaise: the result is the earlier best if its score is greater
    // than this candidate's, else this candidate.
    enum class Kind : std::uint8_t { kNone, kReset, kRaise };
    HighestChoice(Kind kind, double score, PathRef path) : kind_(kind), score_(score), path_(path) {}

    Kind kind_ = Kind::kNone;
    double score_ = 0.0;
    PathRef path_;
};

class LowestChoice {
public:
    static LowestChoice leaf(double score, PathRef path) {
        LowestChoice c;
        c.has_first_ = true;
        c.first_ = {score, path};
        c.has_least_ = !std::isnan(score);
        c.least_ = c.first_;
        return c;
    }

    static LowestChoice then(const LowestChoice& first, const LowestChoice& next) {
        if (!first.has_first_) return next;
        if (!next.has_first_) return first;
        LowestChoice c = first;
        if (next.has_least_ && (!first.has_least_ || first.least_.score > next.least_.score)) {
            c.has_least_ = true;
            c.least_ = next.least_;
        }
        return c;
    }

    // The first candidate starts as the best. A NaN first stays (nothing is
    // smaller than NaN); otherwise the earliest of the smallest scores wins.
    std::optional<PathRef> chosen() const {
        if (!has_first_) return std::nullopt;
        return std::isnan(first_.score) ? first_.path : least_.path;
    }

    template <class Visit>
    void visit_paths(Visit&& visit) {
        if (has_first_) visit(first_.path);
        if (has_least_) visit(least_.path);
    }

private:
    struct Scored {
        double score = 0.0;
        PathRef path;
    };
    bool has_first_ = false;
    bool has_least_ = false;
    Scored first_;
    // The earliest candidate with the smallest non-NaN score.
    Scored least_;
};

}  // namespace vorn
