// A count block as the statistics read it: each group's count and the value index of each of
// its grouped fields, in the order the count query returned the groups. Made either from the
// cells of a count query (after CodeRows) or straight from a database's GroupCounter; the
// statistics read both alike through counts::CountOf and counts::IndexOf.
#pragma once

#include <cstdint>
#include <exception>
#include <vector>

namespace core {

struct CodedBlock {
    int32_t rows = 0;
    int width = 0;               // coded columns 1..width
    std::vector<double> count;   // per row
    std::vector<int32_t> code;   // row by row, columns 1..width: the index CodeRows wrote
    // A cell that holds no index (CodeRows matched no label) raises, when it is read, what
    // reading it from the count query's cells raises: its code is kNoIndex - slot, and the
    // error is errors[slot]. countError: per row the slot of a count that cannot be read, -1
    // for the others; empty when every count can be read.
    static constexpr int32_t kNoIndex = -1000000;
    std::vector<std::exception_ptr> errors;
    std::vector<int32_t> countError;
};

// The groups of a count as one number each, where every grouped field's value index is its
// counter's code plus one (a field's labels in the order its counter holds its values): the
// indexes minus one in mixed radix over FF, the first field most significant, ascending down the
// groups; and each group's count, a whole number. The statistics that read a configuration and
// the pair's values off a group's number need no coded columns at all.
struct KeyedBlock {
    std::vector<uint64_t> key;
    std::vector<double> count;
};

}  // namespace core
