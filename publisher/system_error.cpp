#include "publisher/system_error.h"

#include <algorithm>

namespace publisher {

SystemError systemError(std::int64_t code, std::string_view words,
                        std::initializer_list<KindCodes> kinds) {
  SystemError error;
  for (const KindCodes& row : kinds) {
    if (std::find(row.codes.begin(), row.codes.end(), code) != row.codes.end()) {
      error.kind = row.kind;
      break;
    }
  }
  // Windows ends its messages with ".\r\n".
  while (!words.empty() && (words.back() == '\n' || words.back() == '\r' || words.back() == '.'))
    words.remove_suffix(1);
  error.text = words.empty() ? "error " + std::to_string(code) : std::string(words);
  return error;
}

}  // namespace publisher
