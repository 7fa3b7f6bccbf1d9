#pragma once

// Text operations on code page 936 text: positions are 1-based byte
// positions, -1 means not found, and searches only try matches where a
// character starts. Letter case, where ignored, folds ASCII A-Z only;
// trimming removes the ASCII space and the ideographic space (A1 A1) only.

#include <string>
#include <string_view>
#include <vector>

#include "base/cp936.h"

namespace base {

// Position of `needle` in `text`, trying from 1-based `from` (0 or 1: the
// beginning); -1 when absent.
int findText(std::string_view text, std::string_view needle, int from = 1, bool ignoreCase = false);

bool containsText(std::string_view text, std::string_view needle, bool ignoreCase = false);

std::string trimSpaces(std::string_view text);
std::string removeAllSpaces(std::string_view text);

// Pieces between delimiters: empty inner pieces count, an empty tail does
// not, an empty text has none.
std::vector<std::string> splitText(std::string_view text, std::string_view delimiter);

// The text between the first `startMarker` at or after `startPosition` and
// the next `endMarker`, untrimmed; empty when either is missing. "#引号" in a
// marker stands for a double quote.
std::string textBetween(std::string_view text, std::string_view startMarker,
                        std::string_view endMarker, int startPosition = 0,
                        bool caseSensitive = false);

// The trimmed text after the first ":"; empty without one.
std::string valueAfterColon(std::string_view line);

// Appends "%XY", the byte in upper-case hexadecimal: how a request line
// carries a byte it cannot hold as it is.
void appendPercentEscape(std::string& out, unsigned char byte);

}  // namespace base
