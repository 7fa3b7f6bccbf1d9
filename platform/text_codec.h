#pragma once

// Text from UTF-8 into code page 936, the form the launcher keeps texts in.

#include <optional>
#include <string>

#include "base/bytes.h"

namespace platform {

class TextCodec {
 public:
  virtual ~TextCodec() = default;
  // UTF-8 bytes as code page 936 text; what 936 cannot show becomes the
  // system's default character.
  virtual std::string utf8ToAnsi(const base::Bytes& utf8) = 0;
  // A file name in UTF-8 as code page 936, exactly: none when the bytes are
  // not UTF-8 or name a character 936 lacks, as a name that changed would
  // name another file.
  virtual std::optional<std::string> utf8NameToAnsi(const base::Bytes& utf8) = 0;
};

}  // namespace platform
