#pragma once

// The pictures the launcher carries as RCDATA resources.

#include <windows.h>

#include "base/bytes.h"

namespace ui::win32 {

// The bytes of the named RCDATA resource of `module`; empty when missing.
base::Bytes resourceBytes(HMODULE module, const char* name);

}  // namespace ui::win32
