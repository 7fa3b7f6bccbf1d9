#pragma once

// The real services on the Windows API.

#include <windows.h>

#include <memory>
#include <string>

#include "platform/services.h"

namespace platform::win32 {

// The one instance of each service.
#define TAVORO_WIN32_ACCESSOR(Interface, field, accessor) Interface& accessor();
TAVORO_PLATFORM_SERVICES(TAVORO_WIN32_ACCESSOR)
#undef TAVORO_WIN32_ACCESSOR

Services services();

// Opens a file named in UTF-16, for names the ANSI code page cannot hold;
// shared as Files::openForReading is. Null when it cannot.
std::unique_ptr<InputFile> openForReadingWide(const std::wstring& path);

// A hook that sees every message of the window's thread before it is
// dispatched, in the message loop and in pumping delays alike; true means
// the message was handled and must not be dispatched.
using MessageFilter = bool (*)(MSG& message);
void setMessageFilter(MessageFilter filter);

// Filters, translates and dispatches one message.
void dispatchMessage(MSG& message);

}  // namespace platform::win32
