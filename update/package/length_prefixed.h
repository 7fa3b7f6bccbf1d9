#pragma once

// The update's small record files (the apply journal, the kept package):
// texts as their byte length, ":" and the bytes, so that names and page
// values may hold spaces and line ends, and a record written whole.

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/files.h"
#include "update/record_names.h"

namespace update {

// Writes a record file whole under `path`: first under a fresh name, then
// moved over the old one, so that a kill leaves the old record or the new.
inline bool replaceRecordFile(platform::Files& files, const std::string& path,
                              const std::string& text) {
  const std::string fresh = path + kFreshRecordSuffix;
  std::unique_ptr<platform::OutputFile> file = files.create(fresh);
  if (!file || !file->write(text.data(), text.size()) || !file->close())
    return false;
  return files.replace(fresh, path);
}

inline std::string lengthPrefixed(std::string_view text) {
  return std::to_string(text.size()) + ":" + std::string(text);
}

// Reads numbers, texts and single spaces off the front of a record.
class LengthPrefixedReader {
 public:
  LengthPrefixedReader(std::string_view rest, std::size_t maxTextBytes)
      : rest_(rest), maxTextBytes_(maxTextBytes) {}

  // 64 bits on every system: a file of several GiB is written by a 32-bit
  // launcher and read back by it.
  std::optional<std::uint64_t> number() {
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(rest_.data(), rest_.data() + rest_.size(), value);
    if (error != std::errc() || end == rest_.data())
      return std::nullopt;
    rest_.remove_prefix(static_cast<std::size_t>(end - rest_.data()));
    return value;
  }

  // A file's size as Files::size gives it.
  std::optional<std::int64_t> fileSize() {
    const std::optional<std::uint64_t> value = number();
    if (!value || *value > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()))
      return std::nullopt;
    return static_cast<std::int64_t>(*value);
  }

  std::optional<std::string> text() {
    const std::optional<std::uint64_t> length = number();
    if (!length || *length > maxTextBytes_ || rest_.empty() || rest_.front() != ':' ||
        rest_.size() - 1 < *length) {
      return std::nullopt;
    }
    const auto size = static_cast<std::size_t>(*length);
    std::string value(rest_.substr(1, size));
    rest_.remove_prefix(1 + size);
    return value;
  }

  // Exactly `digits` lower-case hexadecimal digits: numbers of a fixed
  // width, so that a record's length does not depend on them.
  std::optional<std::uint64_t> hexNumber(std::size_t digits) {
    if (rest_.size() < digits || digits > 16)
      return std::nullopt;
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < digits; ++i) {
      const char c = rest_[i];
      const int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
      if (digit < 0)
        return std::nullopt;
      value = value << 4 | static_cast<std::uint64_t>(digit);
    }
    rest_.remove_prefix(digits);
    return value;
  }

  // Up to the next space, or to the end.
  std::string_view word() {
    const std::string_view word = rest_.substr(0, rest_.find(' '));
    rest_.remove_prefix(word.size());
    return word;
  }

  bool skip(char expected) {
    if (rest_.empty() || rest_.front() != expected)
      return false;
    rest_.remove_prefix(1);
    return true;
  }

  bool atEnd() const { return rest_.empty(); }

 private:
  std::string_view rest_;
  std::size_t maxTextBytes_;
};

}  // namespace update
