#include "publisher/file_server.h"

#include <cstdio>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "base/cp936.h"
#include "base/file_name.h"
#include "publisher/client_threads.h"
#include "publisher/file_problems.h"
#include "publisher/printable.h"
#include "update/http/http_response.h"

namespace publisher {
namespace {

using Clock = std::chrono::steady_clock;
using Deadline = ClientConnection::Deadline;

constexpr std::size_t kMaxRequestHead = 8 * 1024;
constexpr std::size_t kBlock = 64 * 1024;

// Nothing when an escape is malformed or stands for a zero byte.
std::optional<std::string> percentDecoded(std::string_view text) {
  std::string decoded;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      decoded += text[i];
      continue;
    }
    if (i + 2 >= text.size() || base::hexDigitValue(text[i + 1]) < 0 ||
        base::hexDigitValue(text[i + 2]) < 0)
      return std::nullopt;
    const char c =
        static_cast<char>(base::hexDigitValue(text[i + 1]) * 16 + base::hexDigitValue(text[i + 2]));
    if (c == '\0')
      return std::nullopt;
    decoded += c;
    i += 2;
  }
  return decoded;
}

// Each part a plain name: no "..", ".", empty part, backslash, colon or
// control byte, so that the path stays inside the folder on any system;
// and a name Windows keeps as a file's (no device such as CON, no
// wildcard), as pack's names are.
bool staysInside(std::string_view path) {
  std::size_t start = 0;
  while (start <= path.size()) {
    const std::size_t end = std::min(path.find('/', start), path.size());
    const std::string_view part = path.substr(start, end - start);
    if (part.empty() || part == "." || part == "..")
      return false;
    start = end + 1;
  }
  for (const char c : path) {
    if (c == '\\' || c == ':' || static_cast<unsigned char>(c) < 0x20)
      return false;
  }
  return base::parseEntryPath(path).has_value();
}

std::string head(int status, const char* reason, std::uint64_t length, const char* type,
                 const std::string& more = "") {
  return "HTTP/1.1 " + std::to_string(status) + " " + reason +
         "\r\nContent-Length: " + std::to_string(length) + "\r\nContent-Type: " + type + "\r\n" +
         more + "Connection: close\r\n\r\n";
}

std::optional<std::uint64_t> decimal(std::string_view text) {
  const std::optional<std::int64_t> value = update::parseLength(text);
  return value ? std::optional<std::uint64_t>(static_cast<std::uint64_t>(*value)) : std::nullopt;
}

// "bytes=FIRST-LAST", "bytes=FIRST-" or "bytes=-SUFFIX", into `request`.
void readRange(std::string_view value, FileRequest& request) {
  if (!value.starts_with("bytes=") || value.find(',') != std::string_view::npos)
    return;
  value.remove_prefix(6);
  const std::size_t dash = value.find('-');
  if (dash == std::string_view::npos)
    return;
  const std::optional<std::uint64_t> first = decimal(value.substr(0, dash));
  const std::optional<std::uint64_t> last = decimal(value.substr(dash + 1));
  if ((dash != 0 && !first) || (dash + 1 < value.size() && !last) || (!first && !last) ||
      (first && last && *last < *first))
    return;
  request.ranged = true;
  request.first = first;
  request.last = last;
}

const char* contentType(std::string_view path) {
  const std::size_t dot = path.rfind('.');
  const std::string extension =
      base::lowerAscii(dot == std::string_view::npos ? "" : path.substr(dot));
  if (extension == ".html" || extension == ".htm")
    return "text/html; charset=utf-8";
  if (extension == ".zip")
    return "application/zip";
  return "application/octet-stream";
}

// Reads the request head by the deadline; empty when none arrives whole.
std::string readHead(ClientConnection& connection, Deadline deadline) {
  std::string data;
  char buffer[2048];
  while (data.find("\r\n\r\n") == std::string::npos && data.size() <= kMaxRequestHead) {
    const long got = connection.receive(buffer, sizeof(buffer), deadline);
    if (got <= 0)
      return {};
    data.append(buffer, static_cast<std::size_t>(got));
  }
  const std::size_t end = data.find("\r\n\r\n");
  return end != std::string::npos && end + 4 <= kMaxRequestHead ? data : std::string();
}

// The local path of the file `relative` (code page 936, "/" between parts)
// names below `folder`, reached through folders alone; nothing when a part
// is not there, is not what it must be, or is a link (`link` then says so).
// A link is never followed, wherever it points, as pack packs none: one
// that leads inside the folder today may lead out of it tomorrow.
std::optional<std::string> reachedFile(Tools& tools, const std::string& folder,
                                       std::string_view relative, bool& link) {
  std::string path = folder;
  for (;;) {
    // "/" is never the second byte of a two-byte character.
    const std::size_t slash = relative.find('/');
    const bool last = slash == std::string_view::npos;
    path = joinPath(tools, path, tools.text.cp936ToLocal(relative.substr(0, slash)));
    const EntryKind kind = tools.folders.kindOf(path);
    link = kind == EntryKind::kLink;
    if (kind != (last ? EntryKind::kFile : EntryKind::kFolder))
      return std::nullopt;
    if (last)
      return path;
    relative.remove_prefix(slash + 1);
  }
}

struct Answered {
  int status = 0;
  std::uint64_t bytes = 0;  // of the body sent
  const char* note = "";    // for the log
};

Answered answer(Tools& tools, ClientConnection& connection, const FileRequest& request,
                const std::string& folder, std::chrono::milliseconds blockLimit) {
  const auto sendBlock = [&](std::string_view data) {
    return connection.sendAll(data, Clock::now() + blockLimit);
  };
  const auto refuse = [&](int status, const char* reason, const char* note = "") {
    const std::string text = std::to_string(status) + " " + reason + "\n";
    sendBlock(head(status, reason, text.size(), "text/plain") +
              (request.method == "HEAD" ? "" : text));
    return Answered{status, 0, note};
  };
  if (request.status == 400)
    return refuse(400, "Bad Request");
  if (request.status == 405)
    return refuse(405, "Method Not Allowed");
  if (request.status == 404)
    return refuse(404, "Not Found");
  bool link = false;
  const std::optional<std::string> file = reachedFile(tools, folder, request.path, link);
  if (link)
    return refuse(404, "Not Found", " (a symbolic link: never served, as pack packs none)");
  const std::int64_t size = file ? tools.files.size(*file) : -1;
  std::unique_ptr<platform::InputFile> input =
      size < 0 ? nullptr : tools.files.openForReading(*file);
  if (!input)
    return refuse(404, "Not Found");
  const auto length = static_cast<std::uint64_t>(size);
  // Validators, so that a download broken off resumes only the same file.
  const std::int64_t modified = tools.folders.modifiedAt(*file);
  const std::string etag = "\"" + std::to_string(length) + "-" + std::to_string(modified) + "\"";
  const std::string lastModified = httpDate(modified);
  const ServedPart part = servedPart(request, length, etag, lastModified);
  const std::string validators =
      "ETag: " + etag + "\r\nLast-Modified: " + lastModified + "\r\nAccept-Ranges: bytes\r\n";
  if (part.status == 416) {
    sendBlock(head(416, "Range Not Satisfiable", 0, "text/plain",
                   "Content-Range: bytes */" + std::to_string(length) + "\r\n"));
    return {416, 0};
  }
  const std::string range = part.status == 206
                                ? "Content-Range: bytes " + std::to_string(part.from) + "-" +
                                      std::to_string(part.from + part.count - 1) + "/" +
                                      std::to_string(length) + "\r\n"
                                : "";
  if (!sendBlock(head(part.status, part.status == 206 ? "Partial Content" : "OK", part.count,
                      contentType(request.path), validators + range)) ||
      request.method == "HEAD")
    return {part.status, 0};
  std::vector<char> block(kBlock);
  // The file is read, never sought in: what comes before the range is skipped.
  for (std::uint64_t skipped = 0; skipped < part.from;) {
    const long got =
        input->read(block.data(),
                    static_cast<std::size_t>(std::min<std::uint64_t>(kBlock, part.from - skipped)));
    if (got <= 0)
      return {part.status, 0};
    skipped += static_cast<std::uint64_t>(got);
  }
  std::uint64_t sent = 0;
  while (sent < part.count) {
    const long got = input->read(
        block.data(), static_cast<std::size_t>(std::min<std::uint64_t>(kBlock, part.count - sent)));
    if (got <= 0 || !sendBlock(std::string_view(block.data(), static_cast<std::size_t>(got))))
      break;
    sent += static_cast<std::uint64_t>(got);
  }
  return {part.status, sent};
}

// One client, on its own thread: its request, the answer, a line in the log.
void serveClient(Tools& tools, ClientConnection& connection, const std::string& folder,
                 const ServeLimits& limits, std::mutex& logLock) {
  const std::string text = readHead(connection, Clock::now() + limits.head);
  if (text.empty())
    return;
  const FileRequest request = parseFileRequest(text);
  const Answered answered = answer(tools, connection, request, folder, limits.block);
  std::string line =
      printable(text.substr(0, text.find("\r\n"))) + " -> " + std::to_string(answered.status);
  if ((answered.status == 200 || answered.status == 206) && request.method == "GET")
    line += ", " + std::to_string(answered.bytes) + " bytes";
  line += answered.note;
  const std::lock_guard<std::mutex> lock(logLock);
  tools.out << line << std::endl;
}

}  // namespace

FileRequest parseFileRequest(std::string_view text) {
  FileRequest request;
  const std::string_view line = text.substr(0, text.find("\r\n"));
  const std::size_t first = line.find(' ');
  const std::size_t second = first == std::string_view::npos ? first : line.find(' ', first + 1);
  if (second == std::string_view::npos || !line.substr(second + 1).starts_with("HTTP/1.")) {
    request.status = 400;
    return request;
  }
  request.method = std::string(line.substr(0, first));
  std::string_view target = line.substr(first + 1, second - first - 1);
  target = target.substr(0, target.find_first_of("?#"));
  if (request.method != "GET" && request.method != "HEAD") {
    request.status = 405;
    return request;
  }
  const std::optional<std::string> path =
      target.starts_with("/") ? percentDecoded(target.substr(1)) : std::nullopt;
  if (!path || !staysInside(*path)) {
    request.status = 404;
    return request;
  }
  request.path = *path;
  if (const std::optional<std::string_view> range = update::headerValue(text, "Range"))
    readRange(*range, request);
  request.ifRange = std::string(update::headerValue(text, "If-Range").value_or(""));
  return request;
}

ServedPart servedPart(const FileRequest& request, std::uint64_t length, const std::string& etag,
                      const std::string& lastModified) {
  // A range of another version of the file: the whole of this one.
  if (!request.ranged ||
      (!request.ifRange.empty() && request.ifRange != etag && request.ifRange != lastModified))
    return {200, 0, length};
  if (!request.first) {
    if (*request.last == 0 || length == 0)
      return {416, 0, 0};
    const std::uint64_t count = std::min(*request.last, length);
    return {206, length - count, count};
  }
  if (*request.first >= length)
    return {416, 0, 0};
  const std::uint64_t last = std::min(request.last.value_or(length - 1), length - 1);
  return {206, *request.first, last - *request.first + 1};
}

std::string httpDate(std::int64_t seconds) {
  static constexpr const char* kDays[] = {"Thu", "Fri", "Sat", "Sun", "Mon", "Tue", "Wed"};
  static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                            "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  const std::int64_t days = (seconds >= 0 ? seconds : seconds - 86399) / 86400;
  const std::int64_t clock = seconds - days * 86400;
  // Days to the civil date, counted in 400-year eras from 0000-03-01.
  const std::int64_t z = days + 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const std::int64_t dayOfEra = z - era * 146097;
  const std::int64_t yearOfEra =
      (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const std::int64_t shiftedMonth = (5 * dayOfYear + 2) / 153;
  const std::int64_t day = dayOfYear - (153 * shiftedMonth + 2) / 5 + 1;
  const std::int64_t month = shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9;
  const std::int64_t year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
  char text[40];
  std::snprintf(text, sizeof(text), "%s, %02d %s %04lld %02d:%02d:%02d GMT",
                kDays[((days % 7) + 7) % 7], static_cast<int>(day), kMonths[month - 1],
                static_cast<long long>(year), static_cast<int>(clock / 3600),
                static_cast<int>(clock / 60 % 60), static_cast<int>(clock % 60));
  return text;
}

void serveFolder(Tools& tools, Listener& listener, const std::string& folder,
                 const ServeLimits& limits) {
  std::mutex logLock;
  ClientThreads clients(limits.clients);
  for (;;) {
    clients.waitForRoom();
    std::unique_ptr<ClientConnection> connection = listener.accept();
    if (!connection)
      break;
    clients.start(std::move(connection), [&](ClientConnection& client) {
      serveClient(tools, client, folder, limits, logLock);
    });
  }
  clients.stopAll();
}

}  // namespace publisher
