#pragma once

// The services on Linux, one of each, wired into a Services record: what
// the unit tests run the launcher's logic against.

#include "platform/host/host_services.h"
#include "update/http/host/socket_http_transport.h"

namespace app::host {

struct HostPlatform {
  HostPlatform() = default;
  // TLS trusting the authorities of `caFile` instead of the system's.
  explicit HostPlatform(std::string caFile) : tls(std::move(caFile)) {}

  platform::host::FakeMessageBoxes messageBoxes;
  platform::host::FakePump pump;
  platform::host::FakeProcesses processes;
  platform::host::IniProfileReader profile;
  platform::host::FakeShell shell;
  platform::host::LocalFiles files;
  platform::host::FakeNamedEvents namedEvents;
  platform::host::FakeProcess process;
  platform::host::BsdSockets sockets;
  platform::host::OpenSslTls tls;
  update::SocketHttpTransport http{sockets, tls};
  platform::host::IconvTextCodec codec;

  platform::Services services() {
    platform::Services s;
    s.messageBoxes = &messageBoxes;
    s.pump = &pump;
    s.processes = &processes;
    s.profile = &profile;
    s.shell = &shell;
    s.files = &files;
    s.namedEvents = &namedEvents;
    s.process = &process;
    s.http = &http;
    s.codec = &codec;
    s.sockets = &sockets;
    s.tls = &tls;
    return s;
  }
};

}  // namespace app::host
