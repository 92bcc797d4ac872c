// The cache of conditioning sets already tested for each pair of fields, with their conditional
// mutual information (SetCache and CMICache in one store). Each layer and pair a < b has its own
// list of slots, numbered from 1 in the order the sets arrived; a pair holds at most `capacity`
// slots, and a set that arrives when the list is full overwrites the last slot, so the first
// capacity - 1 sets stay for the whole run. Only pairs that were tested take memory.
//
// Readers that walk the cache (the learning log) visit layers and pairs in their own order and
// read Slots(layer, a, b) in slot order.
#pragma once

#include <cstdint>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/vb/runtime_error.h"
#include "platform/vb/types.h"

namespace core {

// One slot: the set's fields in ascending order (SetCache(k, a, b, s, 1..m), m its size) and the
// conditional mutual information of the pair given the set (CMICache(k, a, b, s)).
struct CachedSet {
    std::vector<vb::Integer> fields;
    vb::Single cmi = 0;
};

class CondSetCache {
public:
    // Empties the cache and sizes it for layers 0..lastLayer and fields 1..numfld.
    void Reset(vb::Integer lastLayer, vb::Integer numfld, int capacity) {
        lastLayer_ = lastLayer;
        numfld_ = numfld;
        capacity_ = capacity;
        pairs_.clear();
    }

    int capacity() const { return capacity_; }
    vb::Integer lastLayer() const { return lastLayer_; }

    // The pair's slots in slot order (slot s is element s - 1); a and b in either order.
    // Error 9 for a layer or field outside the sizes given to Reset.
    const std::vector<CachedSet>& Slots(vb::Integer layer, vb::Integer a, vb::Integer b) const {
        auto it = pairs_.find(Key(layer, a, b));
        return it == pairs_.end() ? kEmpty() : it->second;
    }
    // Number of slots in use (SetCache(k, a, b, 0, 0)).
    vb::Integer Count(vb::Integer layer, vb::Integer a, vb::Integer b) const {
        return vb::Integer(Slots(layer, a, b).size());
    }

    // The first slot whose set is exactly fields[0..k-1] (ascending), or nullptr.
    const CachedSet* Find(vb::Integer layer, vb::Integer a, vb::Integer b,
                          const std::vector<vb::Integer>& fields) const {
        for (const CachedSet& slot : Slots(layer, a, b))
            if (slot.fields == fields) return &slot;
        return nullptr;
    }

    // Appends a set with its value and returns the slot number it went to (1..capacity). A full
    // list keeps its length and the set overwrites the last slot.
    int Append(vb::Integer layer, vb::Integer a, vb::Integer b, std::vector<vb::Integer> fields,
               vb::Single cmi) {
        std::vector<CachedSet>& slots = pairs_[Key(layer, a, b)];
        if (int(slots.size()) < capacity_) {
            slots.push_back(CachedSet{std::move(fields), cmi});
        } else {
            if (slots.empty()) throw vb::RuntimeError::SubscriptOutOfRange();  // capacity 0
            slots.back() = CachedSet{std::move(fields), cmi};
        }
        return int(slots.size());
    }

    // Appends like Append while the pair holds fewer than `limit` slots (at most capacity());
    // after that the set overwrites slot `limit`. The construction log fills the cache up to 80
    // sets a pair this way, leaving room for the sets of the run that reads it.
    int AppendUpTo(vb::Integer layer, vb::Integer a, vb::Integer b, std::vector<vb::Integer> fields,
                   vb::Single cmi, int limit) {
        std::vector<CachedSet>& slots = pairs_[Key(layer, a, b)];
        const int top = limit < capacity_ ? limit : capacity_;
        if (top <= 0) throw vb::RuntimeError::SubscriptOutOfRange();
        if (int(slots.size()) < top) {
            slots.push_back(CachedSet{std::move(fields), cmi});
        } else {
            slots[size_t(top - 1)] = CachedSet{std::move(fields), cmi};
        }
        return int(slots.size()) < top ? int(slots.size()) : top;
    }

private:
    uint64_t Key(vb::Integer layer, vb::Integer a, vb::Integer b) const {
        if (a > b) std::swap(a, b);
        if (layer < 0 || layer > lastLayer_ || a < 0 || b > numfld_)
            throw vb::RuntimeError::SubscriptOutOfRange();
        return (uint64_t(uint16_t(layer)) << 32) | (uint64_t(uint16_t(a)) << 16) | uint16_t(b);
    }
    static const std::vector<CachedSet>& kEmpty() {
        static const std::vector<CachedSet> empty;
        return empty;
    }

    vb::Integer lastLayer_ = -1;
    vb::Integer numfld_ = -1;
    int capacity_ = 0;
    std::unordered_map<uint64_t, std::vector<CachedSet>> pairs_;
};

}  // namespace core
