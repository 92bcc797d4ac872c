// Readers of the three network interchange formats the construction engine exports (Netica
// .dne, Hugin .net, BIF 0.15), for tests. Each is written from the format's grammar, not from
// the engine's writer, and is strict where the format is: identifiers where it wants
// identifiers, unique states, declared parents, tables of the right shape whose rows sum to 1.
// A violation throws std::runtime_error naming the line.
//
// All three give the same picture of a network, so tests can compare them with each other and
// with the model that was written.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace testsupport {

struct ParsedNode {
    std::string name;                  // the identifier
    std::string title;                 // Netica title, Hugin label, BIF "label = " property
    bool discrete = true;
    std::vector<std::string> states;
    std::vector<std::string> stateTitles;  // Netica statetitles, BIF "state i = " properties
    std::vector<std::string> parents;      // names, in the order declared
    bool hasTable = false;
    // Configuration-major: one row of states.size() values per parent configuration, the last
    // parent varying fastest, whatever order the format writes them in.
    std::vector<double> probs;
    std::optional<std::pair<int, int>> position;
};

struct ParsedNet {
    std::string name;
    std::string title;  // Netica title, Hugin label, BIF "label = " property
    std::vector<ParsedNode> nodes;
    // The node of this name; throws std::out_of_range when there is none.
    const ParsedNode& node(const std::string& name) const;
};

ParsedNet ParseNetica(const std::string& text);
ParsedNet ParseHugin(const std::string& text);
// Both dialects: names as words or in double quotes, "|" and "," optional between the node
// and its parents, tables given whole or as entries per configuration.
ParsedNet ParseBif(const std::string& text);

}  // namespace testsupport
