#include <fstream>
#include <iterator>
#include <string_view>

#include "base/cp936.h"
#include "platform/host/host_services.h"

namespace platform::host {
namespace {

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

std::string IniProfileReader::read(const std::string& path, const std::string& section,
                                   const std::string& key, std::size_t capacity) {
  ++reads_;
  if (capacity == 0)
    return {};
  std::ifstream file(hostPath(path), std::ios::binary);
  if (!file)
    return {};
  const std::string content((std::istreambuf_iterator<char>(file)), {});

  // Only the first section of that name counts, and in it the first key.
  enum class Where { Before, Inside, After } where = Where::Before;
  std::size_t start = 0;
  while (start < content.size() && where != Where::After) {
    std::size_t end = content.find_first_of("\r\n", start);
    if (end == std::string::npos)
      end = content.size();
    const std::string_view line = trim(std::string_view(content).substr(start, end - start));
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

}  // namespace platform::host
