// Where a linked table's rows are: the stored path on this machine, else the file of that name
// beside the front end; and the refusals of links that are not followed, each naming the link.
#include "platform/db/access_links.h"

#include <fmt/format.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <optional>
#include <vector>

#include "platform/db/database.h"
#include "platform/vb/strings.h"

namespace db::access {
namespace {

namespace fs = std::filesystem;

// The items of a connect text ("A=1;B={x;y};..."), a braced value kept whole.
std::vector<std::string> ConnectItems(const std::string& connect) {
    std::vector<std::string> items(1);
    bool braced = false;
    for (const char c : connect) {
        if (c == '{') braced = true;
        else if (c == '}') braced = false;
        if (c == ';' && !braced) items.emplace_back();
        else items.back() += c;
    }
    return items;
}

std::string Trimmed(const std::string& s) {
    const size_t first = s.find_first_not_of(" \t");
    if (first == std::string::npos) return "";
    return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

// The key of a "KEY=value" item, upper-cased; "" for an item without "=".
std::string KeyOf(const std::string& item) {
    const size_t eq = item.find('=');
    return eq == std::string::npos ? "" : vb::UCase(Trimmed(item.substr(0, eq)));
}

// The path the link stores: its Database, or the DATABASE= item of its connect text.
std::string StoredPath(const Link& link) {
    if (!link.database.empty()) return link.database;
    for (const std::string& item : ConnectItems(link.connect))
        if (KeyOf(item) == "DATABASE") return Trimmed(item.substr(item.find('=') + 1));
    return "";
}

bool IsFile(const fs::path& p) {
    std::error_code ec;
    return fs::is_regular_file(p, ec);
}

// A path of another machine: a drive letter ("Z:...") or a network share ("\\server\...").
bool IsWindowsPath(const std::string& stored) {
    return (stored.size() >= 2 && std::isalpha(static_cast<unsigned char>(stored[0])) && stored[1] == ':') ||
           stored.rfind("\\\\", 0) == 0;
}

std::optional<fs::path> Find(const fs::path& folder, const std::string& stored) {
    std::string path = stored;
    std::replace(path.begin(), path.end(), '\\', '/');
    if (!IsWindowsPath(stored) && !path.empty()) {
        // A relative path is the front end's folder's, as Access resolves it.
        const fs::path named = path[0] == '/' ? fs::path(path) : folder / path;
        if (IsFile(named)) return named;
    }
    const std::string base = fs::path(path).filename().string();
    if (base.empty()) return std::nullopt;
    if (IsFile(folder / base)) return folder / base;
    // Windows does not tell names apart by case: the file may be there as BACKEND.ACCDB.
    std::vector<fs::path> same;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        if (vb::UCase(it->path().filename().string()) == vb::UCase(base) && IsFile(it->path()))
            same.push_back(it->path());
    if (same.empty()) return std::nullopt;
    return *std::min_element(same.begin(), same.end());
}

}  // namespace

std::string WithoutPassword(const std::string& connect) {
    std::string out;
    bool first = true;
    for (const std::string& item : ConnectItems(connect)) {
        const std::string key = KeyOf(item);
        if (key == "PWD" || key == "PASSWORD") continue;
        out += (first ? "" : ";") + item;
        first = false;
    }
    return out;
}

std::string LinkedAccessFile(const std::string& frontEnd, const Link& link) {
    if (link.odbc)
        throw Error(errnum::kNotSupported,
                    fmt::format("Operation is not supported for this type of object: '{}' is a table linked to the "
                                "ODBC source '{}' (its table '{}'), and linked ODBC tables are not read here. Open "
                                "that source as an ODBC data source instead.",
                                link.name, WithoutPassword(link.connect), link.foreign));
    const std::string stored = StoredPath(link);
    const std::string format = Trimmed(link.connect.substr(0, link.connect.find(';')));
    if (!format.empty())
        throw Error(errnum::kNoInstallableIsam,
                    fmt::format("Could not find installable ISAM: '{}' is a table linked to the {} file '{}', and "
                                "only tables linked to Access files are read here. Open that file itself instead.",
                                link.name, format, stored));
    fs::path folder = fs::path(frontEnd).parent_path();
    if (folder.empty()) folder = ".";
    if (const auto found = Find(folder, stored)) return found->string();
    std::string base = stored;
    std::replace(base.begin(), base.end(), '\\', '/');
    base = fs::path(base).filename().string();
    throw Error(errnum::kFileNotFound,
                fmt::format("Could not find file '{}'. The linked table '{}' reads the table '{}' of that file, "
                            "which is not there, and there is no file '{}' beside '{}' either.",
                            stored, link.name, link.foreign, base, frontEnd));
}

}  // namespace db::access
