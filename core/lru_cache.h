#pragma once
// A map that keeps its entries within a budget of bytes: when an entry is
// put, the least recently used others are dropped until the entries fit.
// An entry larger than the whole budget stays alone until the next one.
// Not thread-safe.

#include <cstdint>
#include <list>
#include <map>
#include <utility>

namespace quorvin {

template <typename Key, typename Value>
class LruCache {
public:
    explicit LruCache(std::uint64_t budget) : budget_(budget) {}
    LruCache(const LruCache&) = delete;
    LruCache& operator=(const LruCache&) = delete;

    // The value of `key`, now the most recently used; null when absent. The
    // pointer holds until the next Put.
    Value* Find(const Key& key) {
        const auto found = index_.find(key);
        if (found == index_.end()) return nullptr;
        order_.splice(order_.begin(), order_, found->second);
        return &found->second->value;
    }

    // Puts `value` as `key`'s (replacing an earlier one), counting `bytes`.
    Value& Put(const Key& key, Value value, std::uint64_t bytes) {
        if (const auto found = index_.find(key); found != index_.end()) {
            bytes_ -= found->second->bytes;
            order_.erase(found->second);
            index_.erase(found);
        }
        order_.push_front(Entry{key, std::move(value), bytes});
        index_[key] = order_.begin();
        bytes_ += bytes;
        while (bytes_ > budget_ && order_.size() > 1) {
            const Entry& oldest = order_.back();
            bytes_ -= oldest.bytes;
            index_.erase(oldest.key);
            order_.pop_back();
        }
        return order_.front().value;
    }

    // A new budget, kept from the next Put on.
    void SetBudget(std::uint64_t budget) { budget_ = budget; }

    std::uint64_t Bytes() const { return bytes_; }
    std::size_t Size() const { return order_.size(); }

private:
    struct Entry {
        Key key;
        Value value;
        std::uint64_t bytes;
    };
    std::uint64_t budget_;
    std::uint64_t bytes_ = 0;
    std::list<Entry> order_;  // most recently used first
    std::map<Key, typename std::list<Entry>::iterator> index_;
};

}  // namespace quorvin
