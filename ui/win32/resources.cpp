#include "ui/win32/resources.h"

namespace ui::win32 {

base::Bytes resourceBytes(HMODULE module, const char* name) {
  if (name == nullptr)
    return {};
  // Resources live as long as the module: nothing to free here.
  HRSRC found = FindResourceA(module, name, MAKEINTRESOURCEA(10) /* RT_RCDATA */);
  if (found == nullptr)
    return {};
  HGLOBAL loaded = LoadResource(module, found);
  const DWORD size = SizeofResource(module, found);
  const auto* data = static_cast<const std::uint8_t*>(loaded ? LockResource(loaded) : nullptr);
  if (data == nullptr || size == 0)
    return {};
  return base::Bytes(data, data + size);
}

}  // namespace ui::win32
