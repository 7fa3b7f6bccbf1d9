#pragma once

// Another name for a file whose name is taken: "dir\name(n).ext".

#include <string>
#include <string_view>

namespace update {

// `path` with "(n)" before the extension of its last component, or at its
// end when that component has no "."; code page 936 aware, so a backslash
// or dot that is the second byte of a two-byte character is not taken for
// a separator.
std::string numberedFileName(std::string_view path, int number);

}  // namespace update
