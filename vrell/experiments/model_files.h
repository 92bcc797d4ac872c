// The two text files an experiment reads per data set: the true-model file "<table>.dat" (the
// network the table was drawn from) and the outside structure-learning tool's result file
// "<table>.new". Both are read by character columns, 1-based; a name cut short by the end of
// its line keeps the characters it has, and a name that falls wholly beyond it is "".
#pragma once

#include <string>
#include <string_view>

#include "platform/vb/array.h"
#include "platform/vb/text_file.h"
#include "platform/vb/types.h"

namespace vrell {

using vb::Integer;

// Every data set has exactly this many fields; the arrays run 0..kExperimentFields, the last
// row, column and element standing for a name that is none of the fields.
inline constexpr Integer kExperimentFields = 10;

// The characters first .. first + count - 1 of line (1-based); fewer, or none, where the line
// is shorter.
std::string Columns(std::string_view line, size_t first, size_t count);

struct TrueModel {
    vb::Array<std::string> names;  // (0..10): the field names in file order; element 10 ""
    vb::Array<Integer> parent;     // (0..10, 0..10): (p, c) = 1 when field p is a parent of c
    int edges = 0;                 // the number of true edges
};

// Reads the ten field blocks of a true-model file. A block's lines are skipped up to and
// including one beginning "-----"; the next line holds the field's name in columns 1-2 and its
// parents from column 14 on, a two-character name every third column (14-15, 17-18, ...). A
// parent counts only when it names a field read earlier, so every edge runs from an earlier
// field to a later one; a parent named twice is one edge. A file that ends before its tenth
// field line raises error 62 "Input past end of file".
TrueModel ReadTrueModel(vb::TextReader& file);

// The index of `name` among names(0..9); kExperimentFields when it is none of them.
Integer FieldIndex(const vb::Array<std::string>& names, std::string_view name);

// Fills rst (0..10, 0..10) with the edges of the tool's result file. Lines are skipped up to
// and including one beginning "/Patt" (error 62 when there is none); each line after it holds
// an edge: the first field in columns 1-2, the mark in column 10 and the second field in
// columns 12-13. Reading stops at the first line of 10 characters or fewer, or at the end of
// the file. With a and b the two fields' indexes (10 for a name that is none of them, whose
// row and column no score reads): "-" sets (a, b) and (b, a) to 3; ">" (first -> second) and
// "<" (second -> first) set the cell of the pair above the diagonal to the code of that
// direction; other marks change nothing. Other cells keep their values: the caller clears the
// pairs first.
void ReadTetradResult(vb::TextReader& file, const vb::Array<std::string>& names, vb::Array<Integer>& rst);

}  // namespace vrell
