// The three interchange-format readers for tests (see net_parsers.h): one tokenizer with the
// formats' comment and string rules, a recursive-descent reader per format, and the checks
// every format makes of the network once it is read.
#include "tests/support/net_parsers.h"

#include <cmath>
#include <cstdlib>
#include <map>
#include <set>
#include <stdexcept>

namespace testsupport {

namespace {

struct Token {
    enum Kind { Word, String, Punct, End } kind = End;
    std::string text;
    int line = 0;
};

struct LexRules {
    bool slashComments = false;    // "//" to the line end
    bool blockComments = false;    // "/* ... */"
    bool percentComments = false;  // "%" to the line end
    bool escapes = false;          // a backslash in a string takes the next character as it is
};

[[noreturn]] void Fail(int line, const std::string& what) {
    throw std::runtime_error("line " + std::to_string(line) + ": " + what);
}

bool IsWordChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '.' || c == '-' || c == '+';
}

std::vector<Token> Lex(const std::string& text, const LexRules& rules) {
    std::vector<Token> tokens;
    int line = 1;
    size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c == '\n') {
            ++line;
            ++i;
        } else if (c == ' ' || c == '\t' || c == '\r') {
            ++i;
        } else if ((rules.slashComments && text.compare(i, 2, "//") == 0) ||
                   (rules.percentComments && c == '%')) {
            while (i < text.size() && text[i] != '\n') ++i;
        } else if (rules.blockComments && text.compare(i, 2, "/*") == 0) {
            const size_t end = text.find("*/", i + 2);
            if (end == std::string::npos) Fail(line, "comment not closed");
            for (size_t k = i; k < end; ++k) line += text[k] == '\n';
            i = end + 2;
        } else if (c == '"') {
            Token t{Token::String, "", line};
            for (++i;; ++i) {
                if (i >= text.size() || text[i] == '\n') Fail(line, "string not closed");
                if (text[i] == '"') break;
                if (rules.escapes && text[i] == '\\') {
                    if (++i >= text.size()) Fail(line, "string not closed");
                }
                t.text += text[i];
            }
            ++i;
            tokens.push_back(t);
        } else if (IsWordChar(c)) {
            Token t{Token::Word, "", line};
            while (i < text.size() && IsWordChar(text[i])) t.text += text[i++];
            tokens.push_back(t);
        } else {
            tokens.push_back(Token{Token::Punct, std::string(1, c), line});
            ++i;
        }
    }
    tokens.push_back(Token{Token::End, "", line});
    return tokens;
}

class Cursor {
public:
    explicit Cursor(std::vector<Token> tokens) : t_(std::move(tokens)) {}
    const Token& Peek() const { return t_[pos_]; }
    Token Next() {
        Token t = t_[pos_];
        if (t.kind != Token::End) ++pos_;
        return t;
    }
    bool IsPunct(const char* p) const { return Peek().kind == Token::Punct && Peek().text == p; }
    bool IsWord(const char* w) const { return Peek().kind == Token::Word && Peek().text == w; }
    void Expect(const char* p) {
        if (!IsPunct(p)) Fail(Peek().line, std::string("expected '") + p + "', found '" + Peek().text + "'");
        Next();
    }
    void ExpectWord(const char* w) {
        if (!IsWord(w)) Fail(Peek().line, std::string("expected ") + w + ", found '" + Peek().text + "'");
        Next();
    }
    bool Skip(const char* p) {
        if (!IsPunct(p)) return false;
        Next();
        return true;
    }
    int line() const { return Peek().line; }

private:
    std::vector<Token> t_;
    size_t pos_ = 0;
};

// A letter, then letters, digits and underscores (and hyphens where `hyphen`), at most
// maxLength characters (0: any).
bool IsIdentifier(const std::string& s, size_t maxLength, bool leadingUnderscore, bool hyphen) {
    if (s.empty() || (maxLength > 0 && s.size() > maxLength)) return false;
    if (!std::isalpha(static_cast<unsigned char>(s[0])) && !(leadingUnderscore && s[0] == '_')) return false;
    for (char c : s)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_' && !(hyphen && c == '-')) return false;
    return true;
}

double Number(const Token& t) {
    if (t.kind != Token::Word) Fail(t.line, "expected a number, found '" + t.text + "'");
    char* end = nullptr;
    const double v = std::strtod(t.text.c_str(), &end);
    if (end == t.text.c_str() || *end != '\0') Fail(t.line, "not a number: '" + t.text + "'");
    return v;
}

// A value of the Netica and Hugin attribute syntax: an atom or a bracketed list.
struct Value {
    bool list = false;
    Token atom;
    std::vector<Value> items;
};

// Lists separated by commas (Netica) or by blanks (Hugin).
Value ReadValue(Cursor& c, bool commas) {
    Value v;
    if (!c.Skip("(")) {
        v.atom = c.Next();
        if (v.atom.kind != Token::Word && v.atom.kind != Token::String) Fail(v.atom.line, "expected a value");
        return v;
    }
    v.list = true;
    if (c.Skip(")")) return v;
    for (;;) {
        v.items.push_back(ReadValue(c, commas));
        if (c.Skip(")")) return v;
        if (commas) c.Expect(",");
    }
}

// The numbers of a nested table, checked against the parents' state counts (outermost first)
// and the node's, flattened in reading order.
void Flatten(const Value& v, const std::vector<size_t>& shape, size_t level, std::vector<double>& out,
             int line) {
    if (level == shape.size()) {
        if (v.list) Fail(line, "table nested too deep");
        out.push_back(Number(v.atom));
        return;
    }
    if (!v.list || v.items.size() != shape[level])
        Fail(line, "table level " + std::to_string(level) + " should hold " + std::to_string(shape[level]) + " items");
    for (const Value& item : v.items) Flatten(item, shape, level + 1, out, line);
}

std::vector<std::string> Atoms(const Value& v, Token::Kind kind, int line) {
    if (!v.list) Fail(line, "expected a list");
    std::vector<std::string> out;
    for (const Value& item : v.items) {
        if (item.list || item.atom.kind != kind) Fail(line, "unexpected item in a list");
        out.push_back(item.atom.text);
    }
    return out;
}

std::pair<int, int> Position(const Value& v, int line) {
    if (!v.list || v.items.size() != 2) Fail(line, "position needs two numbers");
    return {int(Number(v.items[0].atom)), int(Number(v.items[1].atom))};
}

size_t IndexOf(const ParsedNet& net, const std::string& name) {
    for (size_t i = 0; i < net.nodes.size(); ++i)
        if (net.nodes[i].name == name) return i;
    return net.nodes.size();
}

// The shape of a node's table: its parents' state counts, then its own.
std::vector<size_t> Shape(const ParsedNet& net, const ParsedNode& n, int line) {
    std::vector<size_t> shape;
    for (const std::string& p : n.parents) {
        const size_t i = IndexOf(net, p);
        if (i == net.nodes.size()) Fail(line, "parent " + p + " of " + n.name + " is not a node");
        if (!net.nodes[i].discrete) Fail(line, "parent " + p + " of " + n.name + " is not discrete");
        shape.push_back(net.nodes[i].states.size());
    }
    shape.push_back(n.states.size());
    return shape;
}

// What every format asks of a network it has read.
void Check(const ParsedNet& net) {
    std::set<std::string> names;
    for (const ParsedNode& n : net.nodes) {
        if (!names.insert(n.name).second) Fail(0, "node " + n.name + " declared twice");
        std::set<std::string> states(n.states.begin(), n.states.end());
        if (states.size() != n.states.size()) Fail(0, "node " + n.name + " repeats a state");
        if (n.discrete && n.states.empty()) Fail(0, "discrete node " + n.name + " has no states");
        if (!n.stateTitles.empty() && n.stateTitles.size() != n.states.size())
            Fail(0, "node " + n.name + " has state titles for another number of states");
        if (!n.hasTable) continue;
        size_t cells = 1;
        for (size_t s : Shape(net, n, 0)) cells *= s;
        if (n.probs.size() != cells) Fail(0, "table of " + n.name + " has the wrong size");
        const size_t k = n.states.size();
        for (size_t row = 0; row < cells / k; ++row) {
            double sum = 0;
            for (size_t s = 0; s < k; ++s) {
                const double p = n.probs[row * k + s];
                if (p < 0 || p > 1) Fail(0, "probability out of range in " + n.name);
                sum += p;
            }
            if (std::fabs(sum - 1) > 1e-5) Fail(0, "a row of " + n.name + " does not sum to 1");
        }
    }
}

}  // namespace

const ParsedNode& ParsedNet::node(const std::string& name) const {
    for (const ParsedNode& n : nodes)
        if (n.name == name) return n;
    throw std::out_of_range("no node " + name);
}

// ---- Netica -----------------------------------------------------------------------------------
// bnet NAME { (attr = value ;)* (node NAME { (attr = value ;)* } ;)* } ;
// Values: words, strings, comma-separated lists in brackets. Names are identifiers of at most
// 30 characters; states are identifiers too. probs nests one list level a parent.

ParsedNet ParseNetica(const std::string& text) {
    Cursor c(Lex(text, LexRules{.slashComments = true, .escapes = true}));
    auto ident = [&c] {
        const Token t = c.Next();
        if (t.kind != Token::Word || !IsIdentifier(t.text, 30, false, false))
            Fail(t.line, "not a Netica identifier: '" + t.text + "'");
        return t.text;
    };
    ParsedNet net;
    c.ExpectWord("bnet");
    net.name = ident();
    c.Expect("{");
    std::vector<std::pair<Value, int>> probs;  // per node, read once the parents are known
    while (!c.Skip("}")) {
        if (c.IsWord("node")) {
            c.Next();
            ParsedNode n;
            n.name = ident();
            c.Expect("{");
            Value table;
            int tableLine = 0;
            while (!c.Skip("}")) {
                const std::string attr = ident();
                const int line = c.line();
                c.Expect("=");
                const Value v = ReadValue(c, /*commas=*/true);
                c.Expect(";");
                if (attr == "discrete") {
                    n.discrete = !v.list && v.atom.text == "TRUE";
                } else if (attr == "states") {
                    n.states = Atoms(v, Token::Word, line);
                    for (const std::string& s : n.states)
                        if (!IsIdentifier(s, 30, false, false)) Fail(line, "not a Netica state name: " + s);
                } else if (attr == "statetitles") {
                    n.stateTitles = Atoms(v, Token::String, line);
                } else if (attr == "parents") {
                    n.parents = Atoms(v, Token::Word, line);
                } else if (attr == "probs") {
                    table = v;
                    tableLine = line;
                    n.hasTable = true;
                } else if (attr == "title") {
                    if (v.list || v.atom.kind != Token::String) Fail(line, "title must be a string");
                    n.title = v.atom.text;
                }
            }
            c.Expect(";");
            net.nodes.push_back(n);
            probs.emplace_back(table, tableLine);
        } else {
            const std::string attr = ident();
            c.Expect("=");
            const Value v = ReadValue(c, true);
            c.Expect(";");
            if (attr == "title") net.title = v.atom.text;
        }
    }
    c.Expect(";");
    if (c.Peek().kind != Token::End) Fail(c.line(), "text after the network");
    for (size_t i = 0; i < net.nodes.size(); ++i) {
        ParsedNode& n = net.nodes[i];
        if (n.hasTable) Flatten(probs[i].first, Shape(net, n, probs[i].second), 0, n.probs, probs[i].second);
    }
    Check(net);
    return net;
}

// ---- Hugin ------------------------------------------------------------------------------------
// net { (attr = value ;)* }  (node NAME { (attr = value ;)* })*
// (potential ( NAME [| NAME*] ) { (attr = value ;)* })*
// Values: strings, numbers, blank-separated lists in brackets. Node names are identifiers;
// data nests one list level a parent, the node's states innermost.

ParsedNet ParseHugin(const std::string& text) {
    Cursor c(Lex(text, LexRules{.percentComments = true, .escapes = true}));
    static const std::set<std::string> keywords{"net", "node", "potential", "class", "continuous",
                                                "discrete", "decision", "utility"};
    auto ident = [&c] {
        const Token t = c.Next();
        if (t.kind != Token::Word || !IsIdentifier(t.text, 0, true, false) || keywords.count(t.text))
            Fail(t.line, "not a Hugin name: '" + t.text + "'");
        return t.text;
    };
    // attr = value ; ... } with a callback per attribute.
    auto attributes = [&](auto&& take) {
        c.Expect("{");
        while (!c.Skip("}")) {
            const Token name = c.Next();
            if (name.kind != Token::Word) Fail(name.line, "expected an attribute");
            c.Expect("=");
            const Value v = ReadValue(c, /*commas=*/false);
            c.Expect(";");
            take(name.text, v, name.line);
        }
    };
    ParsedNet net;
    c.ExpectWord("net");
    attributes([&](const std::string& a, const Value& v, int) {
        if (a == "name") net.name = v.atom.text;
        if (a == "label") net.title = v.atom.text;
    });
    while (c.IsWord("node")) {
        c.Next();
        ParsedNode n;
        n.name = ident();
        bool hasStates = false;
        attributes([&](const std::string& a, const Value& v, int line) {
            if (a == "label") n.title = v.atom.text;
            if (a == "position") n.position = Position(v, line);
            if (a == "states") {
                n.states = Atoms(v, Token::String, line);
                hasStates = true;
            }
        });
        // A node without states is not a table node; the reader treats it as continuous.
        n.discrete = hasStates;
        net.nodes.push_back(n);
    }
    while (c.IsWord("potential")) {
        const int line = c.line();
        c.Next();
        c.Expect("(");
        const std::string name = ident();
        const size_t i = IndexOf(net, name);
        if (i == net.nodes.size()) Fail(line, "potential of an unknown node " + name);
        ParsedNode& n = net.nodes[i];
        if (n.hasTable) Fail(line, "second potential of " + name);
        if (c.Skip("|"))
            while (!c.IsPunct(")")) n.parents.push_back(ident());
        c.Expect(")");
        attributes([&](const std::string& a, const Value& v, int l) {
            if (a != "data") return;
            Flatten(v, Shape(net, n, l), 0, n.probs, l);
            n.hasTable = true;
        });
    }
    if (c.Peek().kind != Token::End) Fail(c.line(), "unexpected '" + c.Peek().text + "'");
    Check(net);
    return net;
}

// ---- BIF 0.15 ---------------------------------------------------------------------------------
// network NAME { property* }
// variable NAME { (type discrete [ n ] { VALUE* } ; | property STRING ;)* }
// probability ( NAME NAME* ) { (table NUMBER* ; | default NUMBER* ; | ( VALUE* ) NUMBER* ; |
//                                property STRING ;)* }
// Names and values are words (a letter or underscore, then letters, digits, "_" and "-"), bare
// or in double quotes; "," and "|" separate list items. The table is ordered with the node's
// state slowest and the last parent fastest.

ParsedNet ParseBif(const std::string& text) {
    Cursor c(Lex(text, LexRules{.slashComments = true, .blockComments = true}));
    auto word = [&c] {
        const Token t = c.Next();
        if ((t.kind != Token::Word && t.kind != Token::String) || !IsIdentifier(t.text, 0, true, true))
            Fail(t.line, "not a BIF word: '" + t.text + "'");
        return t.text;
    };
    auto numbers = [&c] {
        std::vector<double> v;
        while (!c.Skip(";")) {
            if (c.Skip(",")) continue;
            v.push_back(Number(c.Next()));
        }
        return v;
    };
    // property STRING ;  (the text of the string)
    auto property = [&c] {
        c.ExpectWord("property");
        std::string text;
        while (!c.Skip(";")) {
            const Token t = c.Next();
            if (t.kind == Token::End) Fail(t.line, "property not ended");
            text += (text.empty() ? "" : " ") + t.text;
        }
        return text;
    };
    auto starts = [](const std::string& s, const std::string& prefix) { return s.rfind(prefix, 0) == 0; };

    ParsedNet net;
    c.ExpectWord("network");
    net.name = word();
    c.Expect("{");
    while (!c.Skip("}")) {
        const std::string p = property();
        if (starts(p, "label = ")) net.title = p.substr(8);
    }
    std::map<std::string, std::map<int, std::string>> stateTitles;
    while (c.Peek().kind != Token::End) {
        const int line = c.line();
        if (c.IsWord("variable")) {
            c.Next();
            ParsedNode n;
            n.name = word();
            n.discrete = false;
            c.Expect("{");
            while (!c.Skip("}")) {
                if (c.IsWord("type")) {
                    c.Next();
                    c.ExpectWord("discrete");
                    c.Expect("[");
                    const double count = Number(c.Next());
                    c.Expect("]");
                    c.Expect("{");
                    while (!c.Skip("}")) {
                        if (c.Skip(",")) continue;
                        n.states.push_back(word());
                    }
                    c.Expect(";");
                    if (double(n.states.size()) != count) Fail(line, "discrete[" + std::to_string(int(count)) + "] of " + n.name);
                    n.discrete = true;
                } else {
                    const std::string p = property();
                    if (starts(p, "position = (")) {
                        int x = 0, y = 0;
                        if (std::sscanf(p.c_str(), "position = (%d, %d)", &x, &y) != 2) Fail(line, "bad position");
                        n.position = std::make_pair(x, y);
                    } else if (starts(p, "label = ")) {
                        n.title = p.substr(8);
                    } else if (starts(p, "state ")) {
                        const size_t eq = p.find(" = ");
                        if (eq == std::string::npos) Fail(line, "bad state property");
                        stateTitles[n.name][std::atoi(p.c_str() + 6)] = p.substr(eq + 3);
                    }
                }
            }
            net.nodes.push_back(n);
        } else if (c.IsWord("probability")) {
            c.Next();
            c.Expect("(");
            const std::string name = word();
            const size_t i = IndexOf(net, name);
            if (i == net.nodes.size()) Fail(line, "probability of an unknown variable " + name);
            ParsedNode& n = net.nodes[i];
            if (n.hasTable) Fail(line, "second probability block of " + name);
            while (!c.Skip(")")) {
                if (c.Skip("|") || c.Skip(",")) continue;
                n.parents.push_back(word());
            }
            const std::vector<size_t> shape = Shape(net, n, line);
            const size_t k = n.states.size();
            size_t configurations = 1;
            for (size_t p = 0; p + 1 < shape.size(); ++p) configurations *= shape[p];
            std::vector<double> probs(configurations * k, std::nan(""));
            std::vector<double> fallback;
            c.Expect("{");
            while (!c.Skip("}")) {
                if (c.IsWord("table")) {
                    c.Next();
                    const std::vector<double> t = numbers();
                    if (t.size() != probs.size()) Fail(line, "table of " + name + " has the wrong size");
                    for (size_t s = 0; s < k; ++s)
                        for (size_t cfg = 0; cfg < configurations; ++cfg) probs[cfg * k + s] = t[s * configurations + cfg];
                } else if (c.IsWord("default")) {
                    c.Next();
                    fallback = numbers();
                    if (fallback.size() != k) Fail(line, "default of " + name + " has the wrong size");
                } else if (c.IsPunct("(")) {
                    c.Next();
                    size_t cfg = 0, p = 0;
                    while (!c.Skip(")")) {
                        if (c.Skip(",")) continue;
                        const std::string value = word();
                        const ParsedNode& parent = net.nodes[IndexOf(net, n.parents.at(p))];
                        size_t v = 0;
                        while (v < parent.states.size() && parent.states[v] != value) ++v;
                        if (v == parent.states.size()) Fail(line, "unknown value " + value);
                        cfg = cfg * parent.states.size() + v;
                        ++p;
                    }
                    if (p != n.parents.size()) Fail(line, "entry of " + name + " names too few values");
                    const std::vector<double> row = numbers();
                    if (row.size() != k) Fail(line, "entry of " + name + " has the wrong size");
                    for (size_t s = 0; s < k; ++s) probs[cfg * k + s] = row[s];
                } else {
                    property();
                }
            }
            for (size_t cell = 0; cell < probs.size(); ++cell)
                if (std::isnan(probs[cell])) {
                    if (fallback.empty()) Fail(line, "table of " + name + " is incomplete");
                    probs[cell] = fallback[cell % k];
                }
            n.probs = probs;
            n.hasTable = true;
        } else {
            Fail(line, "unexpected '" + c.Peek().text + "'");
        }
    }
    for (ParsedNode& n : net.nodes) {
        auto it = stateTitles.find(n.name);
        if (it == stateTitles.end()) continue;
        // States without a property of their own are titled by their name.
        n.stateTitles = n.states;
        for (const auto& [s, title] : it->second) n.stateTitles.at(size_t(s - 1)) = title;
    }
    Check(net);
    return net;
}

}  // namespace testsupport
