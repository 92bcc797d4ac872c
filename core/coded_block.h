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

}  // namespace core
