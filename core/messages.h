#pragma once

// The texts and styles of the launcher's own message boxes.

#include "platform/message_boxes.h"

namespace core {

inline constexpr char kSecondCopyMessage[] = "另一个程序正在运行,请勿重复启动.";
inline constexpr char kSecondCopyTitle[] = "友情提醒:";
inline constexpr unsigned kSecondCopyFlags = platform::kIconInformation;

inline constexpr char kMissingFileMessage[] =
    "无法找到游戏配置表文件\r\n请重新解压游戏,或（塔沃VR社区）求助.";
inline constexpr char kMissingFileTitle[] = "提示";
// Brought to the foreground: the game may have taken it.
inline constexpr unsigned kMissingFileFlags = platform::kIconWarning | platform::kSetForeground;

}  // namespace core
