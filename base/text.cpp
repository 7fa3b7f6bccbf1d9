#include "base/text.h"

namespace base {
namespace {

bool matchesAt(std::string_view text, std::size_t at, std::string_view needle, bool ignoreCase) {
  if (text.size() - at < needle.size())
    return false;
  for (std::size_t j = 0; j < needle.size();) {
    // Both bytes of a two-byte character compare exactly; only ASCII folds.
    if (startsTwoByteCharacter(needle[j]) && j + 1 < needle.size()) {
      if (text[at + j] != needle[j] || text[at + j + 1] != needle[j + 1])
        return false;
      j += 2;
      continue;
    }
    const char a = text[at + j];
    const char b = needle[j];
    if (ignoreCase ? lowerAsciiLetter(a) != lowerAsciiLetter(b) : a != b)
      return false;
    ++j;
  }
  return true;
}

std::string replaceQuoteWord(std::string_view marker) {
  static constexpr std::string_view kQuoteWord = "#引号";
  std::string out;
  for (std::size_t i = 0; i < marker.size();) {
    if (marker.substr(i, kQuoteWord.size()) == kQuoteWord) {
      out.push_back('"');
      i += kQuoteWord.size();
    } else {
      const std::size_t width = characterWidth(marker, i);
      out.append(marker.substr(i, width));
      i += width;
    }
  }
  return out;
}

bool isIdeographicSpace(std::string_view text, std::size_t i) {
  return i + 1 < text.size() && static_cast<unsigned char>(text[i]) == 0xA1 &&
         static_cast<unsigned char>(text[i + 1]) == 0xA1;
}

}  // namespace

int findText(std::string_view text, std::string_view needle, int from, bool ignoreCase) {
  const std::size_t start = from > 1 ? static_cast<std::size_t>(from - 1) : 0;
  for (std::size_t i = 0; i <= text.size(); i += (i < text.size() ? characterWidth(text, i) : 1)) {
    if (i >= start && matchesAt(text, i, needle, ignoreCase))
      return static_cast<int>(i + 1);
    if (i == text.size())
      break;
  }
  return -1;
}

bool containsText(std::string_view text, std::string_view needle, bool ignoreCase) {
  return findText(text, needle, 1, ignoreCase) != -1;
}

std::string trimSpaces(std::string_view text) {
  // Leading: step character by character; trailing: a final A1 A1 counts
  // only where a character starts, so walk forward to find the cut.
  std::size_t begin = 0;
  while (begin < text.size()) {
    if (text[begin] == ' ') {
      ++begin;
    } else if (isIdeographicSpace(text, begin)) {
      begin += 2;
    } else {
      break;
    }
  }
  std::size_t end = begin;
  for (std::size_t i = begin; i < text.size();) {
    const std::size_t width = characterWidth(text, i);
    const bool space = text[i] == ' ' || (width == 2 && isIdeographicSpace(text, i));
    i += width;
    if (!space)
      end = i;
  }
  return std::string(text.substr(begin, end - begin));
}

std::string removeAllSpaces(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t width = characterWidth(text, i);
    const bool space = text[i] == ' ' || (width == 2 && isIdeographicSpace(text, i));
    if (!space)
      out.append(text.substr(i, width));
    i += width;
  }
  return out;
}

std::vector<std::string> splitText(std::string_view text, std::string_view delimiter) {
  std::vector<std::string> pieces;
  if (text.empty())
    return pieces;
  if (delimiter.empty()) {
    pieces.emplace_back(text);
    return pieces;
  }
  int from = 1;
  for (;;) {
    const int at = findText(text, delimiter, from);
    if (at == -1) {
      if (static_cast<std::size_t>(from - 1) < text.size())
        pieces.emplace_back(text.substr(from - 1));
      return pieces;
    }
    pieces.emplace_back(text.substr(from - 1, at - from));
    from = at + static_cast<int>(delimiter.size());
  }
}

std::string textBetween(std::string_view text, std::string_view startMarker,
                        std::string_view endMarker, int startPosition, bool caseSensitive) {
  const std::string start = replaceQuoteWord(startMarker);
  const std::string end = replaceQuoteWord(endMarker);
  int begin = findText(text, start, startPosition, !caseSensitive);
  if (begin == -1)
    return {};
  begin += static_cast<int>(start.size());
  const int finish = findText(text, end, begin, !caseSensitive);
  if (finish == -1)
    return {};
  return std::string(text.substr(begin - 1, finish - begin));
}

std::string valueAfterColon(std::string_view line) {
  const int colon = findText(line, ":");
  if (colon == -1)
    return {};
  return trimSpaces(line.substr(colon));
}

void appendPercentEscape(std::string& out, unsigned char byte) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  out += '%';
  out += kHex[byte >> 4];
  out += kHex[byte & 0x0F];
}

}  // namespace base
