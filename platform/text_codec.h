#pragma once

// Text from UTF-8 into the ANSI code page.

#include <string>

#include "base/bytes.h"

namespace platform {

class TextCodec {
 public:
  virtual ~TextCodec() = default;
  // UTF-8 bytes as code page 936 text; what 936 cannot show becomes the
  // system's default character.
  virtual std::string utf8ToAnsi(const base::Bytes& utf8) = 0;
};

}  // namespace platform
