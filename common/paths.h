#pragma once

#include <string>
#include <string_view>

namespace common {

// The file name of a path: the text after its last "/"; in a path without any "/", the text after
// its last "\"; in a path with neither, the whole path.
std::string_view file_name(std::string_view path);

// The folder of a path, up to and with its last separator ("/", and on Windows "\" too):
// "a/b/" for "a/b/c", "/" for "/c", "" for a name alone. Joined with a name, it names a file
// beside the path's.
std::string folder_of(std::string_view path);

// The path of a converter's output: the input path with the file name's extension, from its last
// "." onward, replaced by ext (or ext appended when the file name has no "."). A "." in a
// directory name is never taken, so the output always lands beside the input.
std::string output_name(std::string_view path, std::string_view ext);

} // namespace common
