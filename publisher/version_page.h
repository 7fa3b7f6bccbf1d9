#pragma once

// The version page the tool writes: every marker the launcher reads, in its
// order, each value ended by the "<" that ends it on the launcher's side.

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "publisher/refusal.h"
#include "publisher/tools.h"
#include "update/version_page.h"

namespace publisher {

// Code page 936 values, indexed by update::VersionField.
using PageFields = std::array<std::string, update::kVersionFieldCount>;

// Why the launcher would not read `value` (given as `option`) back as
// written; none when it would.
std::optional<Refusal> valueProblem(const std::string& option, std::string_view value,
                                    LocalText& text);

// `local` (the value of `option`) in code page 936, as the launcher reads it
// back from a page. Throws Refusal naming the option otherwise.
std::string pageValue(Tools& tools, const std::string& option, const std::string& local);

// `local` (the address given as `option`) in code page 936, as pageValue
// does; also refuses a blank before or after it, which the launcher would
// keep as part of the address.
std::string addressValue(Tools& tools, const std::string& option, const std::string& local);

// A small HTML page in code page 936 (to be served as UTF-8).
std::string composeVersionPage(const PageFields& fields);

}  // namespace publisher
