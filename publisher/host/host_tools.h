#pragma once

// The tool's services on Linux: local text is UTF-8, converted with iconv;
// real files, sockets and folders.

#include <ostream>

#include "platform/host/host_services.h"
#include "publisher/native_tools.h"
#include "publisher/tools.h"
#include "update/http/host/socket_http_transport.h"

namespace publisher::host {

class IconvLocalText final : public LocalText {
 public:
  std::optional<std::string> toCp936(std::string_view local) override;
  std::string cp936ToUtf8(std::string_view cp936) override;
  std::string cp936ToLocal(std::string_view cp936) override { return cp936ToUtf8(cp936); }
};

class HostFolderReader final : public FolderReader {
 public:
  HostFolderReader(platform::Files& files, LocalText& text) : files_(files), text_(text) {}
  std::vector<TreeEntry> read(const std::string& folder) override;
  EntryKind kindOf(const std::string& path) override;
  std::int64_t modifiedAt(const std::string& path) override;

 private:
  platform::Files& files_;
  LocalText& text_;
};

// The error `errnoValue`, as the system facts give it.
SystemError systemErrorOf(int errnoValue);

// Listening BSD sockets.
class BsdServerSockets final : public ServerSockets {
 public:
  std::unique_ptr<Listener> listen(const std::string& address, int port) override;
};

struct HostTools {
  platform::host::LocalFiles files;
  platform::host::BsdSockets sockets;
  platform::host::OpenSslTls tls;  // the system's trusted authorities
  update::SocketHttpTransport http{sockets, tls};
  platform::host::IconvTextCodec codec;
  IconvLocalText text;
  HostFolderReader folders{files, text};
  OwnerOnlySecretFiles secrets;
  NativeSystemFacts system;
  BsdServerSockets servers;

  Tools tools(std::ostream& out, std::ostream& err) {
    return {files, http, codec, text, folders, secrets, system, sockets, tls, servers, out, err};
  }
};

}  // namespace publisher::host
