#pragma once

// The services on Linux: real files, and recording fakes for everything a
// test must see or steer (message boxes, processes, shell, named events,
// process exit).

#include <atomic>
#include <deque>
#include <functional>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/services.h"

namespace platform::host {

// Windows paths as host paths: a drive letter ("Z:\") names the root, and
// every backslash that is not the second byte of a two-byte character
// becomes "/".
std::string hostPath(const std::string& windowsPath);

class LocalFiles final : public Files {
 public:
  bool exists(const std::string& path) override;
  base::Bytes readAll(const std::string& path) override;
  bool remove(const std::string& path) override;
  bool move(const std::string& from, const std::string& to) override;
  bool setAttributes(const std::string& path, unsigned attributes) override;
  std::vector<std::string> findFiles(const std::string& directory,
                                     const std::string& pattern) override;
  std::unique_ptr<OutputFile> create(const std::string& path) override;
  std::unique_ptr<OutputFile> createNew(const std::string& path) override;
  std::unique_ptr<OutputFile> openForAppend(const std::string& path) override;
  std::unique_ptr<InputFile> openForReading(const std::string& path) override;
  bool createDirectory(const std::string& path) override;
  bool isDirectory(const std::string& path) override;
  bool replace(const std::string& from, const std::string& to) override;
  std::int64_t size(const std::string& path) override;
  bool sameFile(const std::string& a, const std::string& b) override;
  bool removeDirectory(const std::string& path) override;
  bool isInUse(const std::string& path) override;
  std::uint32_t lastError() override;
  // The file system's figure (statvfs), or `spaceFigure` when a test set one.
  std::int64_t availableSpace(const std::string& directory) override;

  // What availableSpace reports instead of the disk's own figure; -1 stands
  // for a query that failed.
  std::optional<std::int64_t> spaceFigure;

  // From now on, writes to files of this object fail as on a full disk
  // (ENOSPC, code 112) once `bytes` more were written: the first write
  // that would go past fails whole, and every later one.
  void fillDiskAfter(std::int64_t bytes) { *writeLimit_ = *bytesWritten_ + bytes; }

  // Asked before each change to a name (remove, move, replace, removing a
  // folder), with the path changed: false makes that change fail as a
  // refusal of the system would, and a throw stands for the process being
  // killed right there.
  std::function<bool(const std::string& path)> beforeChange;

  // Bytes handed to files this object created, for tests that bound writing.
  std::int64_t bytesWritten() const { return *bytesWritten_; }

  // Windows rules the tests meet here as players meet them there: a file
  // marked read-only (setAttributes with bit 0x1, kept in the file's write
  // permission) is neither removed nor replaced, and a file that some
  // program holds open without sharing is neither written, removed,
  // replaced nor moved, until the returned hold goes.
  static std::shared_ptr<void> holdWithoutSharing(const std::string& path);

 private:
  std::unique_ptr<OutputFile> open(const std::string& path, const char* mode);

  std::shared_ptr<std::atomic<std::int64_t>> bytesWritten_ =
      std::make_shared<std::atomic<std::int64_t>>(0);
  // The count bytesWritten may reach; the largest number: no limit.
  std::shared_ptr<std::atomic<std::int64_t>> writeLimit_ =
      std::make_shared<std::atomic<std::int64_t>>(std::numeric_limits<std::int64_t>::max());
};

// A connected socket as a Connection, which closes it when destroyed: what
// a server on this machine hands on for each client it accepts.
std::unique_ptr<Connection> connectionOverSocket(int fd);

// Real TCP connections over BSD sockets.
class BsdSockets final : public Sockets {
 public:
  std::unique_ptr<Connection> connect(const std::string& host, int port, int connectTimeoutMs,
                                      int ioTimeoutMs) override;
};

// TLS with OpenSSL, made ready at the first connection it secures.
class OpenSslTls final : public Tls {
 public:
  // Trusts the authorities of the PEM file `caFile` alone (a test's own),
  // or the system's trusted authorities when it is empty.
  explicit OpenSslTls(std::string caFile = {});
  ~OpenSslTls() override;
  OpenSslTls(const OpenSslTls&) = delete;
  OpenSslTls& operator=(const OpenSslTls&) = delete;

  std::unique_ptr<Connection> secure(std::unique_ptr<Connection> plain,
                                     const std::string& host) override;

 private:
  struct Context;
  // Null when OpenSSL could not be set up (an unreadable CA file).
  Context* context();

  const std::string caFile_;
  std::once_flag made_;
  std::unique_ptr<Context> context_;
};

// Thrown by FakeProcess::exit so a test sees where the program ended.
struct ProgramEnded {
  int exitCode;
};

struct MessageBoxCall {
  std::string text;
  unsigned flags;
  std::string title;
};

class FakeMessageBoxes final : public MessageBoxes {
 public:
  int show(const std::string& text, unsigned flags, const std::string& title) override;
  std::vector<MessageBoxCall> calls;
  // Answers in order; IDOK (1) once they run out.
  std::deque<int> answers;
};

class FakePump final : public Pump {
 public:
  void delay(int milliseconds) override;
  // Waits on the calling thread, as the window's would, counting the
  // waits; runs `duringWait` while it waits, as the window's messages would.
  bool waitUntil(const std::function<bool()>& done) override;
  // Moves on by each delay's length, as if it had been waited, or by
  // `stepMs` when that is set: a delay that comes back early.
  std::int64_t nowMs() override { return now; }
  std::int64_t now = 0;
  int stepMs = -1;
  std::vector<int> delays;
  int waits = 0;
  std::function<void()> duringWait;
  // Runs inside each delay, as the window's messages would.
  std::function<void()> duringDelay;
};

struct CommandLineCall {
  std::string commandLine;
  bool wait;
  int windowMode;
};

class FakeProcesses final : public Processes {
 public:
  bool runCommandLine(const std::string& commandLine, bool wait, int windowMode) override;
  // Recorded among `calls` (the program's path as the command line) and in
  // `started`; the child's exit code is what `childExitCode` says each time
  // it is asked (-1: running), and it shows a window of the class asked
  // about when `childShowsWindow` says so.
  std::unique_ptr<ChildProcess> start(const std::string& program, int windowMode) override;
  std::vector<CommandLineCall> calls;
  std::vector<std::string> started;
  bool result = true;
  std::function<std::int64_t()> childExitCode = [] { return -1; };
  std::function<bool(const std::string& windowClass)> childShowsWindow = [](const std::string&) {
    return false;
  };
};

class FakeShell final : public Shell {
 public:
  void open(const std::string& target) override;
  std::string desktopDirectory() override { return desktop; }
  bool createShortcut(const std::string& linkPath, const std::string& targetPath) override;
  std::string shortcutTarget(const std::string& linkPath) override;
  std::vector<std::string> opened;
  // Every shortcut written, in order; `links` holds the last target of each.
  std::vector<std::pair<std::string, std::string>> shortcuts;
  std::map<std::string, std::string> links;
  std::string desktop = "C:\\users\\player\\Desktop";
  bool shortcutResult = true;
  std::function<void(const std::string&)> duringOpen;
};

class FakeNamedEvents final : public NamedEvents {
 public:
  Marker createMarker(const std::string& name) override;
  void releaseMarker(const std::string& name) override;
  bool markerExists(const std::string& name) override { return names.count(name) != 0; }
  // The markers that exist, whoever made them.
  std::set<std::string> names;
  // Every name asked for, in order.
  std::vector<std::string> opened;
  bool canCreate = true;
};

class FakeProcess final : public Process {
 public:
  std::string runDirectory() override { return directory; }
  std::string executableName() override { return executable; }
  void renamed(const std::string& name) override { executable = name; }
  [[noreturn]] void exit(int code) override;
  std::string directory = "C:\\Games\\Demo";
  std::string executable = "launcher.exe";
  std::vector<int> exitCodes;
};

// Keeps every mark and note, in order.
class RecordingTrace final : public Trace {
 public:
  void mark(const char* step) override { marks.emplace_back(step); }
  void note(const char* topic, const std::string& text) override {
    notes.push_back(std::string(topic) + ": " + text);
  }
  std::vector<std::string> marks;
  std::vector<std::string> notes;
};

// Converts the whole text with iconv, `from` one character set `to` another.
// Without `skipWidth`, a character that cannot be converted fails it all;
// with it, such a character comes out as "?" and takes as many input bytes
// as `skipWidth` says for the rest of the input.
using SkipWidth = std::size_t (*)(std::string_view rest);
std::optional<std::string> convertWithIconv(const char* to, const char* from, std::string_view text,
                                            SkipWidth skipWidth);

// UTF-8 to code page 936 with iconv; unrepresentable characters become "?".
class IconvTextCodec final : public TextCodec {
 public:
  std::string utf8ToAnsi(const base::Bytes& utf8) override;
  std::optional<std::string> utf8NameToAnsi(const base::Bytes& utf8) override;
};

}  // namespace platform::host
