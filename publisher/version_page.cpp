#include "publisher/version_page.h"

#include "base/text.h"
#include "publisher/messages.h"
#include "publisher/refusal.h"
#include "update/version_page.h"

namespace publisher {

std::optional<Refusal> valueProblem(const std::string& option, std::string_view value,
                                    LocalText& text) {
  // A value runs to the next "<", which no two-byte character of code page
  // 936 holds as its second byte.
  if (value.find('<') != std::string_view::npos)
    return Refusal(Message::kHoldsLessThan, {option});
  // The launcher takes each marker's first occurrence anywhere on the page.
  for (int field = 0; field < update::kVersionFieldCount; ++field) {
    const std::string_view marker = update::versionFieldMarker(update::VersionField(field));
    if (base::containsText(value, marker, true))
      return Refusal(Message::kHoldsMarker, {option, text.cp936ToLocal(marker)});
  }
  return {};
}

std::string pageValue(Tools& tools, const std::string& option, const std::string& local) {
  const std::optional<std::string> value = tools.text.toCp936(local);
  if (!value)
    throw Refusal(Message::kHoldsNo936, {option});
  if (std::optional<Refusal> problem = valueProblem(option, *value, tools.text))
    throw *problem;
  return *value;
}

std::string addressValue(Tools& tools, const std::string& option, const std::string& local) {
  const auto isBlank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  if (!local.empty() && (isBlank(local.front()) || isBlank(local.back())))
    throw Refusal(say(tools, Message::kBlankAroundAddress, {option, local}));
  return pageValue(tools, option, local);
}

std::string composeVersionPage(const PageFields& fields) {
  std::string page =
      "<!DOCTYPE html>\n"
      "<html><head><meta charset=\"utf-8\"><title>update</title></head>\n"
      "<body>\n";
  for (int field = 0; field < update::kVersionFieldCount; ++field) {
    page += "<p>";
    page += update::versionFieldMarker(update::VersionField(field));
    page += fields[field];
    page += "</p>\n";
  }
  return page + "</body></html>\n";
}

}  // namespace publisher
