#pragma once

// What the tool says in the publisher's language: English, or Chinese when
// the user's language is Chinese. Each message has both texts, with {1},
// {2}, ... where its values go.

#include <array>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

#include "publisher/tools.h"

namespace publisher {

enum class Message : int {
  kHelpIntro,
  kExitStatus,
  kUsage,
  kUnknownCommand,
  kFailed,
  kWarning,
  kHelpKeygen,
  kHelpPubkey,
  kHelpStamp,
  kHelpShow,
  kHelpPack,
  kHelpVerify,
  kHelpServe,
  kPageNotUploaded,
  kPackageNotUploaded,
  kWrongKey,
  kKeyFileNote,
  kBackupKeyNote,
  kNotAfterLauncher,
  kNotAfterLastPacked,
  kVersionsThatWould,
  kStranded,
  kStrandedWould,
  kAddressReused,
  kPackageFileTaken,
  kBlankAroundAddress,
  kConfigUtf8WithMark,
  kConfigUtf16,
  kConfigUtf8,
  kConfigNotGbk,
  kRecorded,
  kPlayersHave,
  kReleaseLauncher,
  kShippedLauncher,
  kEntryNameNot936,
  kListComma,
  kListOr,
  kCount,
};

struct MessageTexts {
  const char* english;
  const char* chinese;  // code page 936
};

// Both texts of `message`.
const MessageTexts& textsOf(Message message);

// The language for a POSIX locale name ("zh_CN.UTF-8"): Chinese for "zh...".
Language languageOfLocale(std::string_view locale);
// The language for a Windows language identifier (LANGID): Chinese when its
// primary language is.
Language languageOfLangId(std::uint16_t langId);

// `message` in the user's language, in local text, with {n} replaced by
// the n-th of `values` (local text).
std::string say(Tools& tools, Message message, std::initializer_list<std::string> values = {});

}  // namespace publisher
