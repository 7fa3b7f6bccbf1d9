#pragma once

// A system's error code and words as a SystemError. Each system lists which
// of its codes fall in which kind; the sorting and the tidying of the words
// are the same everywhere.

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

#include "publisher/tools.h"

namespace publisher {

// The codes of one kind, as one system numbers them.
struct KindCodes {
  SystemError::Kind kind;
  std::initializer_list<std::int64_t> codes;
};

// `code` of the kind whose codes hold it (kOther when none does), told in
// `words` without a trailing line break or full stop; "error <code>" when
// the system has no words for it.
SystemError systemError(std::int64_t code, std::string_view words,
                        std::initializer_list<KindCodes> kinds);

}  // namespace publisher
