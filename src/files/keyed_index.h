// Entries keyed by a text, where a later entry with a key already seen
// replaces the earlier value but keeps the key's first position. Both diffs
// use it so that their lists come out in the order keys first appear.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "common/stop_check.h"

namespace vorn {

template <class Value>
class KeyedIndex {
public:
    void put(std::string key, const Value* value) {
        auto [it, inserted] = position_.try_emplace(key, entries_.size());
        if (inserted) {
            entries_.emplace_back(std::move(key), value);
        } else {
            entries_[it->second].second = value;
        }
    }

    const Value* find(const std::string& key) const {
        auto it = position_.find(key);
        return it == position_.end() ? nullptr : entries_[it->second].second;
    }

    // (key, value) pairs in the order in which the keys first appeared.
    const std::vector<std::pair<std::string, const Value*>>& entries() const { return entries_; }

private:
    std::vector<std::pair<std::string, const Value*>> entries_;
    std::unordered_map<std::string, std::size_t> position_;
};

// Indexes `items` by `key_of(item)`; a later item with the same key wins.
// Polls the stop check once per item.
template <class Value, class KeyOf>
KeyedIndex<Value> index_by(const std::vector<Value>& items, KeyOf key_of, const StopCheck& stop = never_stop()) {
    KeyedIndex<Value> index;
    for (const Value& item : items) {
        stop.poll();
        index.put(key_of(item), &item);
    }
    return index;
}

// Sorts the keys of two indexes into removed (only in `first`), modified (in
// both, and `differ` says they differ) and added (only in `second`), each in
// the order in which the keys first appeared in their index. Polls the stop
// check once per key.
template <class Value, class Differ>
void compare_indexes(const KeyedIndex<Value>& first, const KeyedIndex<Value>& second, Differ differ,
                     std::vector<std::string>& added, std::vector<std::string>& removed,
                     std::vector<std::string>& modified, const StopCheck& stop = never_stop()) {
    for (const auto& [key, value] : first.entries()) {
        stop.poll();
        const Value* other = second.find(key);
        if (other == nullptr) {
            removed.push_back(key);
        } else if (differ(*value, *other)) {
            modified.push_back(key);
        }
    }
    for (const auto& [key, value] : second.entries()) {
        stop.poll();
        if (first.find(key) == nullptr) added.push_back(key);
    }
}

// from, "->", to: the identity of a link in both diffs.
inline std::string link_key(std::string_view from, std::string_view to) {
    std::string key;
    key.reserve(from.size() + 2 + to.size());
    key.append(from).append("->").append(to);
    return key;
}

}  // namespace vorn
