#include "platform/win32/common_controls.h"

#include <memory>

namespace platform::win32 {

const CommonControls* commonControls() {
  // Never unloaded: the controls' windows run its code until the process ends.
  static const CommonControls* const ready = []() -> const CommonControls* {
    auto api = std::make_unique<CommonControls>();
    if (!api->InitCommonControlsEx || !api->SetWindowSubclass || !api->RemoveWindowSubclass ||
        !api->DefSubclassProc) {
      return nullptr;
    }
    INITCOMMONCONTROLSEX classes{sizeof classes, ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
    return api->InitCommonControlsEx(&classes) ? api.release() : nullptr;
  }();
  return ready;
}

}  // namespace platform::win32
