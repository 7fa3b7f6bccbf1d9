#include "update/version_page.h"

#include <algorithm>

#include "base/cp936.h"
#include "base/text.h"

namespace update {
namespace {

// In the order of VersionField.
constexpr std::array<const char*, kVersionFieldCount> kMarkers = {
    "最新版本=",  "程序标题=",  "更新说明=", "更新说明1=",  "更新说明2=",  "更新说明3=",
    "更新说明4=", "更新说明5=", "更新地址=", "更新包大小=", "更新包摘要=", "更新签名=",
    "更新签名2=", "解压大小=",  "更新清单=", "更新签名3=",
};

}  // namespace

VersionFields versionFieldsOf(std::string_view page) {
  VersionFields fields;
  for (int field = 0; field < kVersionFieldCount; ++field)
    fields[field] = base::textBetween(page, kMarkers[field], "<");
  return fields;
}

std::string_view versionFieldMarker(VersionField field) {
  return kMarkers[field];
}

bool isNumberedVersion(std::string_view version) {
  bool digitBefore = false;
  for (const char c : version) {
    if (c == '.' && !digitBefore)
      return false;
    digitBefore = c != '.';
    if (digitBefore && (c < '0' || c > '9'))
      return false;
  }
  return digitBefore;
}

bool sortsAfter(std::string_view published, std::string_view local) {
  if (!isNumberedVersion(published) || !isNumberedVersion(local))
    return sortsAfterAsText(published, local);
  for (;;) {
    const std::size_t publishedDot = std::min(published.find('.'), published.size());
    const std::size_t localDot = std::min(local.find('.'), local.size());
    // Any length of number: without its leading zeros, the longer is larger.
    std::string_view a = published.substr(0, publishedDot);
    std::string_view b = local.substr(0, localDot);
    a.remove_prefix(std::min(a.find_first_not_of('0'), a.size()));
    b.remove_prefix(std::min(b.find_first_not_of('0'), b.size()));
    if (a.size() != b.size())
      return a.size() > b.size();
    if (a != b)
      return a > b;
    if (publishedDot == published.size() || localDot == local.size())
      return publishedDot < published.size();
    published.remove_prefix(publishedDot + 1);
    local.remove_prefix(localDot + 1);
  }
}

bool sortsAfterAsText(std::string_view published, std::string_view local) {
  const std::size_t common = std::min(published.size(), local.size());
  for (std::size_t i = 0; i < common; ++i) {
    const auto a = static_cast<unsigned char>(published[i]);
    const auto b = static_cast<unsigned char>(local[i]);
    if (a != b)
      return a > b;
  }
  return published.size() > local.size();
}

std::string packageFileName(std::string_view address) {
  std::size_t afterSlash = 0;
  base::forEachCharacter(address, [&](std::size_t i, std::size_t width) {
    if (width == 1 && address[i] == '/')
      afterSlash = i + 1;
  });
  return std::string(address.substr(afterSlash));
}

}  // namespace update
