#include "platform/win32/common_controls.h"

namespace platform::win32 {

const CommonControls* commonControls() {
  // Never unloaded: the controls' windows run its code until the process ends.
  return bindOnce<CommonControls>([](const CommonControls& api) {
    INITCOMMONCONTROLSEX classes{sizeof classes, ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
    return api.InitCommonControlsEx(&classes) != FALSE;
  });
}

}  // namespace platform::win32
