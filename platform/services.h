#pragma once

// The Windows services the launcher's logic uses, one small interface each
// in its own header. platform/win32 implements them on the Windows API;
// platform/host gives recording fakes and real files so the logic runs in
// unit tests on Linux.

#include "platform/files.h"
#include "platform/http_transport.h"
#include "platform/message_boxes.h"
#include "platform/named_events.h"
#include "platform/process.h"
#include "platform/processes.h"
#include "platform/profile_reader.h"
#include "platform/pump.h"
#include "platform/shell.h"
#include "platform/sockets.h"
#include "platform/text_codec.h"
#include "platform/tls.h"
#include "platform/trace.h"

// Every service once, as X(interface, field in Services, the Windows side's
// accessor in platform::win32): the record below and both sides' wiring are
// made from this list, so a new service is one line here.
#define TAVORO_PLATFORM_SERVICES(X)           \
  X(MessageBoxes, messageBoxes, messageBoxes) \
  X(Pump, pump, pump)                         \
  X(Processes, processes, processes)          \
  X(ProfileReader, profile, profileReader)    \
  X(Shell, shell, shell)                      \
  X(Files, files, files)                      \
  X(NamedEvents, namedEvents, namedEvents)    \
  X(Process, process, process)                \
  X(HttpTransport, http, httpTransport)       \
  X(TextCodec, codec, textCodec)              \
  X(Sockets, sockets, sockets)                \
  X(Tls, tls, tls)                            \
  X(Trace, trace, trace)

namespace platform {

// Everything the logic may ask of the operating system.
struct Services {
#define TAVORO_SERVICE_FIELD(Interface, field, accessor) Interface* field = nullptr;
  TAVORO_PLATFORM_SERVICES(TAVORO_SERVICE_FIELD)
#undef TAVORO_SERVICE_FIELD
};

}  // namespace platform
