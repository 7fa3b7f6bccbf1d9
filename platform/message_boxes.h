#pragma once

// Message boxes: the styles and answers the launcher uses, and showing one.

#include <string>

namespace platform {

// The message box styles and answers the launcher uses (the MB_ and ID
// values of the Windows API).
inline constexpr unsigned kIconInformation = 0x40;
inline constexpr unsigned kIconWarning = 0x30;
inline constexpr unsigned kYesNoButtons = 0x4;
inline constexpr unsigned kSetForeground = 0x10000;
inline constexpr int kAnswerYes = 6;

class MessageBoxes {
 public:
  virtual ~MessageBoxes() = default;
  // Task-modal, without owner; returns the button pressed (IDOK, IDYES, ...).
  virtual int show(const std::string& text, unsigned flags, const std::string& title) = 0;
};

}  // namespace platform
