// The "normal read-write file" rule the wizards apply before they overwrite a file the user
// named: only a regular file the user may write is offered for overwriting; a folder, a device,
// a link to something else or a read-only file is refused with "... is not a normal read-write
// file." before any question is asked.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace wizard {

enum class FileState {
    Missing,          // nothing of that name: the file will be created
    Empty,            // a regular file of length 0
    Normal,           // a regular file with content
    NotReadWrite,     // exists, but is not a regular file the user may write
};

// What is at `path` now. Symbolic links are followed (a link to a writable regular file is a
// normal file).
FileState ExaminePath(const std::string& path);

// The length of the regular file at `path`; nothing when there is no regular file there.
std::optional<uintmax_t> FileLength(const std::string& path);

// True when `path` names a regular file the user may read and write.
bool IsNormalReadWriteFile(const std::string& path);

}  // namespace wizard
