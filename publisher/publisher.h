#pragma once

// The publisher's tool: picks the subcommand, reads its options and runs
// it. Exit status 0 when done, 1 when refused or failed (one line on the
// error stream says why), 2 for a call that does not fit (with a usage line).

#include <span>
#include <string>

#include "publisher/messages.h"
#include "publisher/tools.h"

namespace publisher {

inline constexpr char kToolName[] = "tavoro-publish";

// The message holding `command`'s help for a Chinese user; Message::kCount
// when it has none.
Message chineseHelpOf(std::string_view command);

// `words` are the arguments after the program's name.
int runPublisher(std::span<const std::string> words, Tools& tools);

}  // namespace publisher
