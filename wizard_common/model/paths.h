// Folder and file parts of the paths the wizards show in their text boxes. Paths are split on
// "/" only: the programs run on Linux, where a backslash is an ordinary file-name character.
#pragma once

#include <string>
#include <string_view>

namespace wizard {

// The folder of `path`: the text before its last "/", or "/" for a file in the root folder;
// empty when the path holds no "/" (the remembered folder is then left as it was).
std::string GetPath(std::string_view path);

}  // namespace wizard
