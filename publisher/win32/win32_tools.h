#pragma once

// The tool's services on Windows: local text is the ANSI code page; names
// below the folder to pack are read in UTF-16 and converted to code page
// 936 exactly, whatever the machine's code page.

#include <windows.h>

#include <optional>
#include <ostream>
#include <string>
#include <string_view>

#include "platform/win32/win32_services.h"
#include "publisher/native_tools.h"
#include "publisher/tools.h"

namespace publisher::win32 {

std::wstring toWide(UINT codePage, std::string_view text);
// Nothing when a character has no exact counterpart in the code page (no
// look-alike stands in for it).
std::optional<std::string> exactlyIn(UINT codePage, std::wstring_view wide);
// "?" (the code page's default character) for what it cannot hold.
std::string approximatelyIn(UINT codePage, std::wstring_view wide);

class AnsiLocalText final : public LocalText {
 public:
  std::optional<std::string> toCp936(std::string_view local) override;
  std::string cp936ToUtf8(std::string_view cp936) override;
  std::string cp936ToLocal(std::string_view cp936) override;
};

class WideFolderReader final : public FolderReader {
 public:
  std::vector<TreeEntry> read(const std::string& folder) override;
  EntryKind kindOf(const std::string& path) override;
  std::int64_t modifiedAt(const std::string& path) override;
};

// Listening Winsock sockets (linked, not late-bound: only serve uses them).
class WinsockServerSockets final : public ServerSockets {
 public:
  std::unique_ptr<Listener> listen(const std::string& address, int port) override;
};

struct Win32Tools {
  AnsiLocalText text;
  WideFolderReader folders;
  OwnerOnlySecretFiles secrets;
  NativeSystemFacts system;
  WinsockServerSockets servers;

  Tools tools(std::ostream& out, std::ostream& err) {
    return {platform::win32::files(),
            platform::win32::httpTransport(),
            platform::win32::textCodec(),
            text,
            folders,
            secrets,
            system,
            platform::win32::sockets(),
            platform::win32::tls(),
            servers,
            out,
            err};
  }
};

}  // namespace publisher::win32
