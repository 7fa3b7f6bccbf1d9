#pragma once

// The Windows services the launcher's logic uses, one small interface each.
// platform/win32 implements them on the Windows API; platform/host gives
// recording fakes and real files so the logic runs in unit tests on Linux.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/bytes.h"

namespace platform {

// The message box styles and answers the launcher uses (the MB_ and ID
// values of the Windows API).
inline constexpr unsigned kIconInformation = 0x40;
inline constexpr unsigned kIconWarning = 0x30;
inline constexpr unsigned kYesNoButtons = 0x4;
inline constexpr unsigned kSetForeground = 0x10000;
inline constexpr int kAnswerYes = 6;

class MessageBoxes {
 public:
  virtual ~MessageBoxes() = default;
  // Task-modal, without owner; returns the button pressed (IDOK, IDYES, ...).
  virtual int show(const std::string& text, unsigned flags, const std::string& title) = 0;
};

class Pump {
 public:
  virtual ~Pump() = default;
  // Returns after `milliseconds`, processing window messages meanwhile.
  virtual void delay(int milliseconds) = 0;
  // Processes window messages until `done` holds (asked each time messages
  // have been handled, and at least every few milliseconds); false when the
  // program is asked to quit first.
  virtual bool waitUntil(const std::function<bool()>& done) = 0;
};

// A process this one started.
class ChildProcess {
 public:
  virtual ~ChildProcess() = default;
  // Its exit code once it has ended; -1 while it runs.
  virtual std::int64_t exitCode() = 0;
};

class Processes {
 public:
  virtual ~Processes() = default;
  // Creates a process from the command line alone; see Window modes in
  // core/launch for what `windowMode` means. True when it was created.
  virtual bool runCommandLine(const std::string& commandLine, bool wait, int windowMode) = 0;
  // Starts the command line as runCommandLine does without waiting, and
  // keeps the process to be asked about; null when it was not created.
  virtual std::unique_ptr<ChildProcess> start(const std::string& commandLine, int windowMode) = 0;
};

class ProfileReader {
 public:
  virtual ~ProfileReader() = default;
  // The value of `key` in `section` of the INI file at `path`, read afresh,
  // at most `capacity - 1` bytes; empty when the file, section or key is missing.
  virtual std::string read(const std::string& path, const std::string& section,
                           const std::string& key, std::size_t capacity) = 0;
};

class Shell {
 public:
  virtual ~Shell() = default;
  // Opens a web address, file or folder with its registered handler ("open").
  virtual void open(const std::string& target) = 0;
  virtual std::string desktopDirectory() = 0;
  // Writes a shell link at `linkPath` pointing at `targetPath`, replacing one.
  virtual bool createShortcut(const std::string& linkPath, const std::string& targetPath) = 0;
};

// A file being written; closed when destroyed.
class OutputFile {
 public:
  virtual ~OutputFile() = default;
  virtual bool write(const void* data, std::size_t size) = 0;
  // Hands what was written to the disk; false when it may not all be there.
  virtual bool flush() = 0;
  // Flushes and closes; false when the data may not all have reached the disk.
  virtual bool close() = 0;
};

// A file being read from its start; closed when destroyed.
class InputFile {
 public:
  virtual ~InputFile() = default;
  // Up to `size` bytes; 0 at the end of the file, -1 on an error.
  virtual long read(void* buffer, std::size_t size) = 0;
};

// Attributes for Files::setAttributes.
inline constexpr unsigned kNormalFileAttributes = 0x80;  // FILE_ATTRIBUTE_NORMAL
// Read-only, hidden, system and archive all cleared.
inline constexpr unsigned kClearedFileAttributes = 0;

class Files {
 public:
  virtual ~Files() = default;
  // True when a file or directory of that name exists.
  virtual bool exists(const std::string& path) = 0;
  // The whole content; empty when the file cannot be read.
  virtual base::Bytes readAll(const std::string& path) = 0;
  virtual bool remove(const std::string& path) = 0;
  virtual bool move(const std::string& from, const std::string& to) = 0;
  virtual bool setAttributes(const std::string& path, unsigned attributes) = 0;
  // Names (not paths) of the files in `directory` matching `pattern` ("*.jpg"),
  // directories skipped, in the order the system reports them.
  virtual std::vector<std::string> findFiles(const std::string& directory,
                                             const std::string& pattern) = 0;
  // Creates the file, or empties an existing one; null when it cannot.
  virtual std::unique_ptr<OutputFile> create(const std::string& path) = 0;
  // Creates the file only where none of that name exists; null otherwise.
  // Never empties or replaces anything.
  virtual std::unique_ptr<OutputFile> createNew(const std::string& path) = 0;
  // Opens an existing file for writing after its last byte; null when there
  // is none or it cannot be written.
  virtual std::unique_ptr<OutputFile> openForAppend(const std::string& path) = 0;
  // Opens the file for reading while others may go on writing, renaming or
  // deleting it; null when it cannot.
  virtual std::unique_ptr<InputFile> openForReading(const std::string& path) = 0;
  // One folder; true when it exists afterwards.
  virtual bool createDirectory(const std::string& path) = 0;
  virtual bool isDirectory(const std::string& path) = 0;
  // Moves `from` to `to`, replacing a file there.
  virtual bool replace(const std::string& from, const std::string& to) = 0;
  // Size in bytes; -1 when there is no such file.
  virtual std::int64_t size(const std::string& path) = 0;
  // True when both paths name one existing file, however each is spelled
  // (letter case, "." and "..", other separators): the file system decides.
  virtual bool sameFile(const std::string& a, const std::string& b) = 0;
  // One empty folder; false when it is not empty or cannot go.
  virtual bool removeDirectory(const std::string& path) = 0;
  // True when another program holds the file open so that it can be
  // neither moved nor deleted (the game running from it, say).
  virtual bool isInUse(const std::string& path) = 0;
};

// One TCP connection. abort() may be called from another thread and makes a
// blocked send or receive return at once.
class Connection {
 public:
  virtual ~Connection() = default;
  virtual bool sendAll(std::string_view data) = 0;
  // Bytes read into `buffer`; 0 when the peer closed, -1 on error or time-out.
  virtual long receive(void* buffer, std::size_t size) = 0;
  virtual void abort() = 0;
};

class Sockets {
 public:
  virtual ~Sockets() = default;
  // Null when the host cannot be resolved or reached within `connectTimeoutMs`;
  // sends and receives give up after `ioTimeoutMs` of silence.
  virtual std::unique_ptr<Connection> connect(const std::string& host, int port,
                                              int connectTimeoutMs, int ioTimeoutMs) = 0;
};

// Encrypts connections with TLS. The server's certificate must chain to a
// trusted authority, be within its validity and name the host; the check is
// the system's, as its own HTTP stack makes it.
class Tls {
 public:
  virtual ~Tls() = default;
  // `plain`, connected to `host`, as an encrypted connection to it; null
  // when the platform has no TLS. Nothing is exchanged yet: the handshake
  // and the certificate check run within the first sendAll or receive,
  // under the time limits of `plain`, and when they fail that call and
  // every later one fail. abort() aborts `plain`, mid-handshake too.
  virtual std::unique_ptr<Connection> secure(std::unique_ptr<Connection> plain,
                                             const std::string& host) = 0;
};

class NamedEvents {
 public:
  enum class Marker { kCreated, kAlreadyExisted, kFailed };
  virtual ~NamedEvents() = default;
  // Creates the instance marker and holds it until the process ends,
  // learning in the same step whether another copy holds it already: two
  // copies started in the same instant cannot both see it missing.
  virtual Marker createMarker(const std::string& name) = 0;
  // Lets go of a marker this process created; it exists no longer unless
  // another process holds it too.
  virtual void releaseMarker(const std::string& name) = 0;
  // True when some process holds a marker of that name.
  virtual bool markerExists(const std::string& name) = 0;
};

class Process {
 public:
  virtual ~Process() = default;
  // The directory of the launcher's executable, without a trailing backslash.
  virtual std::string runDirectory() = 0;
  // The executable's file name with its extension.
  virtual std::string executableName() = 0;
  // Ends the process at once with `code`.
  [[noreturn]] virtual void exit(int code) = 0;
};

// What one exchange takes in at most. A version page is a few kilobytes;
// a response past either limit is no page of ours and reads as none (no
// body, no headers), so that a server cannot make the reader hold more.
inline constexpr std::size_t kMaxHttpBodyBytes = 1024 * 1024;
inline constexpr std::size_t kMaxHttpHeaderBytes = 64 * 1024;

// One HTTP exchange as the platform's HTTP stack performs it: it connects,
// sends, follows redirects unless told not to, and reads the whole body
// within the limits above.
struct HttpExchange {
  std::string agent;
  std::string proxy;  // empty: a direct connection
  std::string host;   // lower-cased, without port
  int port = 80;
  std::string verb;
  std::string path;
  std::string headers;  // CRLF-separated, no CRLF after the last line
  base::Bytes body;
  std::uint32_t flags = 0;  // reload, no cookies, no redirect, secure, ...
};

struct HttpOutcome {
  // False when no request could be opened at all; nothing else is set then.
  bool opened = false;
  base::Bytes body;
  // The raw response header block, CRLF line ends, when it could be read.
  bool headersRead = false;
  std::string rawHeaders;
};

class HttpTransport {
 public:
  virtual ~HttpTransport() = default;
  virtual HttpOutcome perform(const HttpExchange& exchange) = 0;
};

class TextCodec {
 public:
  virtual ~TextCodec() = default;
  // UTF-8 bytes as code page 936 text; what 936 cannot show becomes the
  // system's default character.
  virtual std::string utf8ToAnsi(const base::Bytes& utf8) = 0;
};

// Everything the logic may ask of the operating system.
struct Services {
  MessageBoxes* messageBoxes = nullptr;
  Pump* pump = nullptr;
  Processes* processes = nullptr;
  ProfileReader* profile = nullptr;
  Shell* shell = nullptr;
  Files* files = nullptr;
  NamedEvents* namedEvents = nullptr;
  Process* process = nullptr;
  HttpTransport* http = nullptr;
  TextCodec* codec = nullptr;
  Sockets* sockets = nullptr;
  Tls* tls = nullptr;
};

}  // namespace platform
