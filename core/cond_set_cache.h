// The cache of conditioning sets already tested for each pair of fields, with their conditional
// mutual information (SetCache and CMICache in one store). Each layer and pair a < b has its own
// list of slots, numbered from 1 in the order the sets arrived; a pair holds at most `capacity`
// slots, and a set that arrives when the list is full overwrites the last slot, so the first
// capacity - 1 sets stay for the whole run. Only pairs that were tested take memory.
//
// Readers that walk the cache (the learning log) visit layers and pairs in their own order and
// read Slots(layer, a, b) in slot order.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/vb/runtime_error.h"
#include "platform/vb/types.h"

namespace core {

// One slot as a reader gets it: the set's fields in ascending order (SetCache(k, a, b, s, 1..m),
// m its size) and the conditional mutual information of the pair given the set (CMICache(k, a,
// b, s)).
struct CachedSet {
    std::vector<vb::Integer> fields;
    vb::Single cmi = 0;
};

class CondSetCache {
    // A pair's slots lie in two flat rows: each slot's place in the pair's fields, its size and
    // its value, and the fields of all its slots one after another. A search over many fields
    // keeps hundreds of thousands of sets; a set is a few fields, which a list of its own a slot
    // would take several times their room to hold.
    struct Slot {
        uint32_t at;
        uint16_t size;
        vb::Single cmi;
    };
    struct PairSlots {
        std::vector<Slot> slots;
        std::vector<vb::Integer> fields;
    };

public:
    // The slots of one pair in slot order, read as CachedSet values (slot s is element s - 1).
    class SlotList {
    public:
        class Iterator {
        public:
            using iterator_category = std::input_iterator_tag;
            using value_type = CachedSet;
            using difference_type = std::ptrdiff_t;
            using pointer = void;
            using reference = CachedSet;
            Iterator(const PairSlots* pair, size_t s) : pair_(pair), s_(s) {}
            CachedSet operator*() const { return Read(*pair_, s_); }
            Iterator& operator++() {
                ++s_;
                return *this;
            }
            bool operator==(const Iterator& o) const { return s_ == o.s_; }
            bool operator!=(const Iterator& o) const { return s_ != o.s_; }

        private:
            const PairSlots* pair_;
            size_t s_;
        };

        explicit SlotList(const PairSlots* pair) : pair_(pair) {}
        size_t size() const { return pair_ ? pair_->slots.size() : 0; }
        bool empty() const { return size() == 0; }
        CachedSet operator[](size_t s) const { return Read(*pair_, s); }
        CachedSet back() const { return Read(*pair_, size() - 1); }
        Iterator begin() const { return Iterator(pair_, 0); }
        Iterator end() const { return Iterator(pair_, size()); }

    private:
        const PairSlots* pair_;
    };

    // Empties the cache and sizes it for layers 0..lastLayer and fields 1..numfld.
    void Reset(vb::Integer lastLayer, vb::Integer numfld, int capacity) {
        lastLayer_ = lastLayer;
        numfld_ = numfld;
        capacity_ = capacity;
        pairs_.clear();
    }

    int capacity() const { return capacity_; }
    vb::Integer lastLayer() const { return lastLayer_; }

    // The pair's slots in slot order; a and b in either order. Error 9 for a layer or field
    // outside the sizes given to Reset.
    SlotList Slots(vb::Integer layer, vb::Integer a, vb::Integer b) const { return SlotList(Pair(layer, a, b)); }
    // Number of slots in use (SetCache(k, a, b, 0, 0)).
    vb::Integer Count(vb::Integer layer, vb::Integer a, vb::Integer b) const {
        return vb::Integer(Slots(layer, a, b).size());
    }

    // The value of the first slot whose set is exactly fields[0..k-1] (ascending), or nullptr.
    const vb::Single* Find(vb::Integer layer, vb::Integer a, vb::Integer b,
                           const std::vector<vb::Integer>& fields) const {
        const PairSlots* pair = Pair(layer, a, b);
        if (!pair) return nullptr;
        for (const Slot& slot : pair->slots)
            if (slot.size == fields.size() &&
                std::equal(fields.begin(), fields.end(), pair->fields.begin() + std::ptrdiff_t(slot.at)))
                return &slot.cmi;
        return nullptr;
    }

    // Appends a set with its value and returns the slot number it went to (1..capacity). A full
    // list keeps its length and the set overwrites the last slot.
    int Append(vb::Integer layer, vb::Integer a, vb::Integer b, const std::vector<vb::Integer>& fields,
               vb::Single cmi) {
        PairSlots& pair = pairs_[Key(layer, a, b)];
        if (int(pair.slots.size()) < capacity_) {
            Push(pair, fields, cmi);
        } else {
            if (pair.slots.empty()) throw vb::RuntimeError::SubscriptOutOfRange();  // capacity 0
            Overwrite(pair, pair.slots.size() - 1, fields, cmi);
        }
        return int(pair.slots.size());
    }

    // Appends like Append while the pair holds fewer than `limit` slots (at most capacity());
    // after that the set overwrites slot `limit`. The construction log fills the cache up to 80
    // sets a pair this way, leaving room for the sets of the run that reads it.
    int AppendUpTo(vb::Integer layer, vb::Integer a, vb::Integer b, const std::vector<vb::Integer>& fields,
                   vb::Single cmi, int limit) {
        PairSlots& pair = pairs_[Key(layer, a, b)];
        const int top = limit < capacity_ ? limit : capacity_;
        if (top <= 0) throw vb::RuntimeError::SubscriptOutOfRange();
        if (int(pair.slots.size()) < top) {
            Push(pair, fields, cmi);
        } else {
            Overwrite(pair, size_t(top - 1), fields, cmi);
        }
        return int(pair.slots.size()) < top ? int(pair.slots.size()) : top;
    }

private:
    uint64_t Key(vb::Integer layer, vb::Integer a, vb::Integer b) const {
        if (a > b) std::swap(a, b);
        if (layer < 0 || layer > lastLayer_ || a < 0 || b > numfld_)
            throw vb::RuntimeError::SubscriptOutOfRange();
        return (uint64_t(uint16_t(layer)) << 32) | (uint64_t(uint16_t(a)) << 16) | uint16_t(b);
    }
    const PairSlots* Pair(vb::Integer layer, vb::Integer a, vb::Integer b) const {
        auto it = pairs_.find(Key(layer, a, b));
        return it == pairs_.end() ? nullptr : &it->second;
    }
    static CachedSet Read(const PairSlots& pair, size_t s) {
        const Slot& slot = pair.slots.at(s);
        const auto first = pair.fields.begin() + std::ptrdiff_t(slot.at);
        return CachedSet{std::vector<vb::Integer>(first, first + slot.size), slot.cmi};
    }
    static void Push(PairSlots& pair, const std::vector<vb::Integer>& fields, vb::Single cmi) {
        pair.slots.push_back(Slot{uint32_t(pair.fields.size()), uint16_t(fields.size()), cmi});
        pair.fields.insert(pair.fields.end(), fields.begin(), fields.end());
    }
    // Slot s takes the set: where the pair's fields end when its room lies there (the room is
    // taken again), else in its own room when the set fits, else at the end of the fields.
    static void Overwrite(PairSlots& pair, size_t s, const std::vector<vb::Integer>& fields, vb::Single cmi) {
        Slot& slot = pair.slots[s];
        if (size_t(slot.at) + slot.size == pair.fields.size()) pair.fields.resize(slot.at);
        if (size_t(slot.at) == pair.fields.size() || fields.size() > slot.size) {
            slot.at = uint32_t(pair.fields.size());
            pair.fields.insert(pair.fields.end(), fields.begin(), fields.end());
        } else {
            std::copy(fields.begin(), fields.end(), pair.fields.begin() + std::ptrdiff_t(slot.at));
        }
        slot.size = uint16_t(fields.size());
        slot.cmi = cmi;
    }

    vb::Integer lastLayer_ = -1;
    vb::Integer numfld_ = -1;
    int capacity_ = 0;
    std::unordered_map<uint64_t, PairSlots> pairs_;
};

}  // namespace core
