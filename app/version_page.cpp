// The version page address, compiled into each program on its own so that
// a build for the end-to-end tests can point at a loopback server.

#include "app/event_bindings.h"

#ifndef TAVORO_VERSION_PAGE_URL
#define TAVORO_VERSION_PAGE_URL "http://update.example.invalid/launcher/version.html"
#endif

namespace app {

const char* const kVersionPageUrl = TAVORO_VERSION_PAGE_URL;

}  // namespace app
