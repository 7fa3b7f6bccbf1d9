#include "platform/win32/win32_services.h"

namespace platform::win32 {

Services services() {
  Services s;
#define TAVORO_WIN32_SERVICE(Interface, field, accessor) s.field = &accessor();
  TAVORO_PLATFORM_SERVICES(TAVORO_WIN32_SERVICE)
#undef TAVORO_WIN32_SERVICE
  return s;
}

}  // namespace platform::win32
