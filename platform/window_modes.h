#pragma once

// Window modes of Run command line: 1 hidden, 2 normal, 3 minimised,
// 4 maximised, 5 normal without activation, 6 minimised without activation.

namespace platform {

inline constexpr int kWindowModeHidden = 1;
inline constexpr int kWindowModeNormal = 2;

// The ShowWindow command for a mode; modes above 6 count as 6, below 1 as 1.
constexpr int showCommandForMode(int mode) {
  // SW_HIDE, SW_SHOWNORMAL, SW_SHOWMINIMIZED, SW_SHOWMAXIMIZED,
  // SW_SHOWNOACTIVATE, SW_MINIMIZE
  constexpr int kShowCommands[] = {0, 1, 2, 3, 4, 6};
  if (mode < 1)
    mode = 1;
  if (mode > 6)
    mode = 6;
  return kShowCommands[mode - 1];
}

}  // namespace platform
