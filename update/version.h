#pragma once

// The check for a newer launcher, run after the game has been started: read
// the version page, show its fields, ask when the published version is newer.

#include <string>
#include <string_view>

namespace update {

inline constexpr char kLocalVersion[] = "5.0";
inline constexpr char kUpdateQuestion[] = "发现新版本,请问是否更新？";
inline constexpr char kUpdateTitle[] = " 软件更新提示";
inline constexpr unsigned kYesNo = 4;
inline constexpr int kAnswerYes = 6;

void runVersionCheck(const std::string& pageAddress);

// Byte-wise text order with unsigned bytes: "5.1" and "5.0.1" sort after
// "5.0"; "10.0" and " 5.1" do not.
bool sortsAfter(std::string_view published, std::string_view local);

}  // namespace update
