// The per-user class registry: which library makes the objects of a class name. It is one text
// file, <config>/bnsuite/classes.reg, where <config> is $XDG_CONFIG_HOME when that is an
// absolute path and ~/.config otherwise. Each line is
//     ClassName=/absolute/path/of/library.so
// (class names compare without regard to case; blank lines and lines beginning with "#" are
// ignored and kept). A library writes its own lines when its DllRegisterServer runs.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace com {

// The registry file's path (it need not exist).
std::filesystem::path ClassRegistryPath();

// The library registered for the class, if any.
std::optional<std::string> RegisteredLibrary(const std::string& className);

// Records className=libraryPath, replacing an earlier line of the class and creating the folder
// and file when needed. The file is rewritten through a temporary file and a rename, so a
// failure never leaves it half written. Throws std::runtime_error naming the file on failure.
void RegisterClass(const std::string& className, const std::string& libraryPath);

// Removes the class's lines; nothing happens when there are none or no file.
void UnregisterClass(const std::string& className);

}  // namespace com
