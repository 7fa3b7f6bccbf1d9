#pragma once

// The services on Linux, one of each, wired into a Services record: what
// the unit tests run the launcher's logic against.

#include "platform/host/host_services.h"
#include "platform/profile_file.h"
#include "update/http/host/socket_http_transport.h"

namespace app::host {

struct HostPlatform {
  HostPlatform() = default;
  // TLS trusting the authorities of `caFile` instead of the system's.
  explicit HostPlatform(std::string caFile) : tls(std::move(caFile)) {}

  platform::host::FakeMessageBoxes messageBoxes;
  platform::host::FakePump pump;
  platform::host::FakeProcesses processes;
  platform::host::FakeShell shell;
  platform::host::LocalFiles files;
  platform::host::FakeNamedEvents namedEvents;
  platform::host::FakeProcess process;
  platform::host::BsdSockets sockets;
  platform::host::OpenSslTls tls;
  update::SocketHttpTransport http{sockets, tls};
  platform::host::IconvTextCodec codec;
  platform::FileProfileReader profile{files, codec};
  platform::host::RecordingTrace trace;

  // Each member is named as its field in platform::Services.
  platform::Services services() {
    platform::Services s;
#define TAVORO_HOST_SERVICE(Interface, field, accessor) s.field = &field;
    TAVORO_PLATFORM_SERVICES(TAVORO_HOST_SERVICE)
#undef TAVORO_HOST_SERVICE
    return s;
  }
};

}  // namespace app::host
