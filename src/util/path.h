#pragma once

#include <string>
#include <string_view>

namespace quillmar {

// The canonical form of an existing path; the path unchanged when it cannot be resolved.
std::string ExpandLongPath(std::string_view path);
// The full path of the running executable ("" when it cannot be found).
std::string ExecutablePath();
// The directory part of a path, ending in "/" ("" for a bare name).
std::string ExtractFilePath(std::string_view path);
// `path` with its extension replaced (or added).
std::string ChangeFileExt(std::string_view path, std::string_view extension);

}  // namespace quillmar
