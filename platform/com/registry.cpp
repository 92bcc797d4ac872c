// Reading and rewriting the per-user class registry file (format in registry.h).
#include "platform/com/registry.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <system_error>
#include <vector>

namespace com {

namespace {

std::string Lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return s;
}

// The class name of a registry line, or "" for a blank or comment line.
std::string LineClass(const std::string& line) {
    if (line.empty() || line[0] == '#') return "";
    size_t eq = line.find('=');
    if (eq == std::string::npos) return "";
    return line.substr(0, eq);
}

std::vector<std::string> ReadLines(const std::filesystem::path& file) {
    std::vector<std::string> lines;
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

void WriteLines(const std::filesystem::path& file, const std::vector<std::string>& lines) {
    std::error_code ec;
    std::filesystem::create_directories(file.parent_path(), ec);
    if (ec) throw std::runtime_error("Cannot create folder " + file.parent_path().string() + ": " + ec.message());
    std::filesystem::path tmp = file;
    tmp += ".tmp" + std::to_string(getpid());
    {
        std::ofstream out(tmp, std::ios::trunc);
        for (const std::string& l : lines) out << l << '\n';
        out.flush();
        if (!out) {
            std::filesystem::remove(tmp, ec);
            throw std::runtime_error("Cannot write " + tmp.string());
        }
    }
    std::filesystem::rename(tmp, file, ec);
    if (ec) {
        std::error_code ignored;
        std::filesystem::remove(tmp, ignored);
        throw std::runtime_error("Cannot replace " + file.string() + ": " + ec.message());
    }
}

}  // namespace

std::filesystem::path ClassRegistryPath() {
    std::filesystem::path config;
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && xdg[0] == '/') {
        config = xdg;
    } else {
        const char* home = std::getenv("HOME");
        if (!home || !home[0]) {
            const passwd* pw = getpwuid(getuid());
            home = pw ? pw->pw_dir : "/";
        }
        config = std::filesystem::path(home) / ".config";
    }
    return config / "bnsuite" / "classes.reg";
}

std::optional<std::string> RegisteredLibrary(const std::string& className) {
    const std::string key = Lower(className);
    for (const std::string& line : ReadLines(ClassRegistryPath())) {
        std::string cls = LineClass(line);
        if (!cls.empty() && Lower(cls) == key) return line.substr(cls.size() + 1);
    }
    return std::nullopt;
}

void RegisterClass(const std::string& className, const std::string& libraryPath) {
    if (className.empty() || className.find_first_of("=\n") != std::string::npos ||
        libraryPath.find('\n') != std::string::npos)
        throw std::runtime_error("Invalid class registration: " + className);
    const std::filesystem::path file = ClassRegistryPath();
    const std::string key = Lower(className);
    std::vector<std::string> kept;
    for (const std::string& line : ReadLines(file))
        if (Lower(LineClass(line)) != key) kept.push_back(line);
    kept.push_back(className + "=" + libraryPath);
    WriteLines(file, kept);
}

void UnregisterClass(const std::string& className) {
    const std::filesystem::path file = ClassRegistryPath();
    if (!std::filesystem::exists(file)) return;
    const std::string key = Lower(className);
    std::vector<std::string> lines = ReadLines(file), kept;
    for (const std::string& line : lines)
        if (Lower(LineClass(line)) != key) kept.push_back(line);
    if (kept.size() != lines.size()) WriteLines(file, kept);
}

}  // namespace com
