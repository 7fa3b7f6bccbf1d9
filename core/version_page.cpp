// The version page address, compiled into each program on its own so that
// a build for the end-to-end tests can point at a loopback server.

#include "core/launch.h"

#ifndef TAVORO_VERSION_PAGE_URL
#define TAVORO_VERSION_PAGE_URL "http://update.example.invalid/launcher/version.html"
#endif

namespace core {

const char* const kVersionPageUrl = TAVORO_VERSION_PAGE_URL;

}  // namespace core
