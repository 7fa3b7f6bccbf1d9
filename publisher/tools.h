#pragma once

// What the publisher's commands ask of the system they run on: the
// launcher's own services (files, HTTP, text codec) and the few things only
// the tool needs. "Local" text is what this system's command line and
// console carry: UTF-8 on Linux, the ANSI code page on Windows.

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "platform/services.h"

namespace publisher {

class LocalText {
 public:
  virtual ~LocalText() = default;
  // Nothing when code page 936 has no character for some of the text.
  virtual std::optional<std::string> toCp936(std::string_view local) = 0;
  virtual std::string cp936ToUtf8(std::string_view cp936) = 0;
  // What the code page cannot show comes out as "?".
  virtual std::string cp936ToLocal(std::string_view cp936) = 0;
};

// One file or folder below the folder being packed.
struct TreeEntry {
  std::string entryName;  // code page 936, "/" between folders; a folder's ends in "/"
  std::string shownName;  // the same, in local text, for messages
  bool isFolder = false;
  bool isLink = false;  // a symbolic link or junction, listed, never followed
  std::uint64_t size = 0;
  std::int64_t modified = 0;  // seconds since 1970, UTC
  std::function<std::unique_ptr<platform::InputFile>()> open;
};

// What a name in a folder stands for, itself: a link is not followed.
enum class EntryKind {
  kMissing,
  kFile,
  kFolder,
  kLink,   // a symbolic link or junction, as read() lists one
  kOther,  // a device, a pipe, a socket
};

class FolderReader {
 public:
  virtual ~FolderReader() = default;
  // Every folder and file below `folder`, a folder before what it holds,
  // names sorted. Throws Refusal, naming it, for a name that code page 936
  // cannot hold or that would not stay one name on Windows.
  virtual std::vector<TreeEntry> read(const std::string& folder) = 0;
  // What the last part of `path` is, by the rule read() lists entries by.
  virtual EntryKind kindOf(const std::string& path) = 0;
  // When the file at `path` was last written, in seconds since 1970 (UTC);
  // 0 when it cannot be told.
  virtual std::int64_t modifiedAt(const std::string& path) = 0;
};

class SecretFiles {
 public:
  enum class Outcome { kWritten, kExists, kFailed };
  virtual ~SecretFiles() = default;
  // Writes a new file readable by its owner only, where the file system
  // allows; never replaces one, and leaves nothing behind when it fails.
  virtual Outcome writeNew(const std::string& path, std::string_view content) = 0;
};

// The language the tool speaks to its user in.
enum class Language { kEnglish, kChinese };

// The system's last error, in the kinds a publisher can act on.
struct SystemError {
  enum class Kind { kNotFound, kAccessDenied, kInUse, kNoSpace, kOther };
  Kind kind = Kind::kOther;
  std::string text;  // the system's own words
};

class SystemFacts {
 public:
  virtual ~SystemFacts() = default;
  // The error of the last failed call on this thread; read it at once.
  virtual SystemError last() = 0;
  // Free bytes on the drive that holds `folder`; nothing when unknown.
  virtual std::optional<std::uint64_t> freeBytes(const std::string& folder) = 0;
  // The folder for temporary files.
  virtual std::string temporaryFolder() = 0;
  // What this system puts between a folder and a name in a path.
  virtual char pathSeparator() = 0;
  // The user's language: on Windows the user interface's, elsewhere the
  // locale's.
  virtual Language userLanguage() = 0;
};

// One client of the tool's web server. Each call gives up at its deadline,
// however the client trickles, so that no client holds the server longer
// than its limits allow.
class ClientConnection {
 public:
  using Deadline = std::chrono::steady_clock::time_point;
  virtual ~ClientConnection() = default;
  // Bytes read into `buffer`; 0 when the client closed, -1 on an error, at
  // the deadline or after abort().
  virtual long receive(void* buffer, std::size_t size, Deadline deadline) = 0;
  // False when not all of `data` went by the deadline, on an error or
  // after abort().
  virtual bool sendAll(std::string_view data, Deadline deadline) = 0;
  // From any thread: a call waiting now gives up soon, every later one at
  // once.
  virtual void abort() = 0;
};

// Accepts connections on one local address and port.
class Listener {
 public:
  virtual ~Listener() = default;
  virtual int port() const = 0;
  // The next connection; null once stop() was called or listening fails.
  virtual std::unique_ptr<ClientConnection> accept() = 0;
  // Ends a waiting accept() from any thread.
  virtual void stop() = 0;
};

class ServerSockets {
 public:
  virtual ~ServerSockets() = default;
  // Listens on the IPv4 address `address` ("127.0.0.1"), port `port` (0: any
  // free one); null, with the system's error kept, when it cannot.
  virtual std::unique_ptr<Listener> listen(const std::string& address, int port) = 0;
};

struct Tools {
  platform::Files& files;
  platform::HttpTransport& http;
  platform::TextCodec& codec;
  LocalText& text;
  FolderReader& folders;
  SecretFiles& secrets;
  SystemFacts& system;
  platform::Sockets& sockets;  // the download engine's, as the launcher's
  platform::Tls& tls;
  ServerSockets& servers;
  std::ostream& out;
  std::ostream& err;
};

}  // namespace publisher
