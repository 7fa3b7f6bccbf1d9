#pragma once

// INI files read as the system's profile reader reads them, with the
// launcher's own decoding: the bytes are code page 936 whatever the
// system's code page, or UTF-8 or UTF-16 after a byte order mark (as
// editors save them). One reader for both builds, so both follow the same
// rules.

#include <cstddef>
#include <string>
#include <string_view>

#include "base/bytes.h"
#include "platform/files.h"
#include "platform/profile_reader.h"
#include "platform/text_codec.h"

namespace platform {

// The file's text in code page 936: after a UTF-8 or UTF-16 byte order mark
// the rest converted, otherwise the bytes as they are.
std::string profileText(const base::Bytes& file, TextCodec& codec);

// The value of `key` in `section` of INI text, at most `capacity - 1` bytes:
// names match in any ASCII letter case, blanks around a value and one pair
// of quotes are dropped, and only the first section of a name and the first
// key in it count.
std::string profileValue(std::string_view text, std::string_view section, std::string_view key,
                         std::size_t capacity);

class FileProfileReader final : public ProfileReader {
 public:
  FileProfileReader(Files& files, TextCodec& codec) : files_(files), codec_(codec) {}
  std::string read(const std::string& path, const std::string& section, const std::string& key,
                   std::size_t capacity) override;
  int readCount() const { return reads_; }

 private:
  Files& files_;
  TextCodec& codec_;
  int reads_ = 0;
};

}  // namespace platform
