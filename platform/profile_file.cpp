#include "platform/profile_file.h"

#include "base/cp936.h"

namespace platform {
namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LittleMark = "\xFF\xFE";
constexpr std::string_view kUtf16BigMark = "\xFE\xFF";

// One character of the Basic Multilingual Plane, the only one code page
// 936 draws from, as UTF-8.
void appendUtf8(base::Bytes& out, char16_t c) {
  const auto byte = [&out](unsigned bits) { out.push_back(static_cast<std::uint8_t>(bits)); };
  if (c < 0x80) {
    byte(c);
  } else if (c < 0x800) {
    byte(0xC0 | c >> 6);
    byte(0x80 | (c & 0x3F));
  } else {
    byte(0xE0 | c >> 12);
    byte(0x80 | (c >> 6 & 0x3F));
    byte(0x80 | (c & 0x3F));
  }
}

// UTF-16 in the byte order `bigEndian` says, as UTF-8, so that one decoder
// reads both. Code page 936 has nothing beyond the BMP: a pair of
// surrogates, like a lone one, becomes U+FFFD, shown as one "?" as any
// character 936 lacks. An odd last byte is no unit.
base::Bytes utf8FromUtf16(std::string_view bytes, bool bigEndian) {
  const auto unit = [bytes, bigEndian](std::size_t i) -> char16_t {
    const auto first = static_cast<unsigned char>(bytes[2 * i]);
    const auto second = static_cast<unsigned char>(bytes[2 * i + 1]);
    return static_cast<char16_t>(bigEndian ? first << 8 | second : second << 8 | first);
  };
  const auto isSurrogate = [](char16_t u) { return u >= 0xD800 && u < 0xE000; };
  const auto isLow = [](char16_t u) { return u >= 0xDC00 && u < 0xE000; };
  const std::size_t count = bytes.size() / 2;
  base::Bytes out;
  for (std::size_t i = 0; i < count; ++i) {
    char16_t c = unit(i);
    if (isSurrogate(c)) {
      // A high one takes the low one after it along.
      if (!isLow(c) && i + 1 < count && isLow(unit(i + 1)))
        ++i;
      c = 0xFFFD;
    }
    appendUtf8(out, c);
  }
  return out;
}

bool isBlank(char c) {
  return c == ' ' || c == '\t';
}

std::string_view trim(std::string_view text) {
  while (!text.empty() && isBlank(text.front()))
    text.remove_prefix(1);
  while (!text.empty() && isBlank(text.back()))
    text.remove_suffix(1);
  return text;
}

std::string_view unquote(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    value.remove_prefix(1);
    value.remove_suffix(1);
  }
  return value;
}

}  // namespace

std::string profileText(const base::Bytes& file, TextCodec& codec) {
  const std::string_view bytes(reinterpret_cast<const char*>(file.data()), file.size());
  if (bytes.starts_with(kUtf8Mark)) {
    const auto* rest = file.data() + kUtf8Mark.size();
    return codec.utf8ToAnsi(base::Bytes(rest, file.data() + file.size()));
  }
  // Notepad's "Unicode" and "Unicode big endian", which the system's
  // profile reader reads too.
  for (const bool bigEndian : {false, true}) {
    if (bytes.starts_with(bigEndian ? kUtf16BigMark : kUtf16LittleMark))
      return codec.utf8ToAnsi(utf8FromUtf16(bytes.substr(2), bigEndian));
  }
  return std::string(bytes);
}

std::string profileValue(std::string_view text, std::string_view section, std::string_view key,
                         std::size_t capacity) {
  if (capacity == 0)
    return {};
  enum class Where { Before, Inside, After } where = Where::Before;
  std::size_t start = 0;
  while (start < text.size() && where != Where::After) {
    std::size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos)
      end = text.size();
    const std::string_view line = trim(text.substr(start, end - start));
    start = end + 1;
    if (line.empty() || line.front() == ';')
      continue;
    if (line.front() == '[') {
      const std::size_t close = line.find(']');
      const std::string_view name =
          trim(line.substr(1, close == std::string_view::npos ? line.size() - 1 : close - 1));
      if (where == Where::Inside) {
        where = Where::After;
      } else if (base::equalsIgnoringAsciiCase(name, section)) {
        where = Where::Inside;
      }
      continue;
    }
    if (where != Where::Inside)
      continue;
    const std::size_t equals = line.find('=');
    const std::string_view name = trim(line.substr(0, equals));
    if (!base::equalsIgnoringAsciiCase(name, key))
      continue;
    if (equals == std::string_view::npos)
      return {};
    std::string value(unquote(trim(line.substr(equals + 1))));
    if (value.size() > capacity - 1)
      value.resize(capacity - 1);
    return value;
  }
  return {};
}

std::string FileProfileReader::read(const std::string& path, const std::string& section,
                                    const std::string& key, std::size_t capacity) {
  ++reads_;
  return profileValue(profileText(files_.readAll(path), codec_), section, key, capacity);
}

}  // namespace platform
