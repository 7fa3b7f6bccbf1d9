#include "platform/win32/win32_services.h"

namespace platform::win32 {

Services services() {
  Services s;
  s.messageBoxes = &messageBoxes();
  s.pump = &pump();
  s.processes = &processes();
  s.profile = &profileReader();
  s.shell = &shell();
  s.files = &files();
  s.namedEvents = &namedEvents();
  s.process = &process();
  s.http = &httpTransport();
  s.codec = &textCodec();
  s.sockets = &sockets();
  s.tls = &tls();
  return s;
}

}  // namespace platform::win32
