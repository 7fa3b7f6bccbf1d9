#include "publisher/file_server.h"

#include <memory>
#include <vector>

#include "base/cp936.h"
#include "publisher/printable.h"

namespace publisher {
namespace {

constexpr std::size_t kMaxRequestHead = 8 * 1024;
constexpr int kIoTimeoutMs = 10000;
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
// control byte, so that the path stays inside the folder on any system.
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
  return true;
}

std::string head(int status, const char* reason, std::uint64_t length, const char* type) {
  return "HTTP/1.1 " + std::to_string(status) + " " + reason +
         "\r\nContent-Length: " + std::to_string(length) + "\r\nContent-Type: " + type +
         "\r\nConnection: close\r\n\r\n";
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

// Reads the request head; empty when none arrives whole within the limit.
std::string readHead(platform::Connection& connection) {
  std::string data;
  char buffer[2048];
  while (data.find("\r\n\r\n") == std::string::npos && data.size() <= kMaxRequestHead) {
    const long got = connection.receive(buffer, sizeof(buffer));
    if (got <= 0)
      return {};
    data.append(buffer, static_cast<std::size_t>(got));
  }
  const std::size_t end = data.find("\r\n\r\n");
  return end != std::string::npos && end + 4 <= kMaxRequestHead ? data : std::string();
}

std::string joinPath(const std::string& folder, const std::string& relative) {
  if (folder.empty() || folder.back() == '/' || folder.back() == '\\')
    return folder + relative;
  return folder + "/" + relative;
}

// Answers one connection; returns the status and the bytes sent, for the log.
std::pair<int, std::uint64_t> answer(Tools& tools, platform::Connection& connection,
                                     const FileRequest& request, const std::string& folder) {
  const auto refuse = [&](int status, const char* reason) {
    const std::string text = std::to_string(status) + " " + reason + "\n";
    connection.sendAll(head(status, reason, text.size(), "text/plain") +
                       (request.method == "HEAD" ? "" : text));
    return std::make_pair(status, std::uint64_t{0});
  };
  if (request.status == 400)
    return refuse(400, "Bad Request");
  if (request.status == 405)
    return refuse(405, "Method Not Allowed");
  if (request.status == 404)
    return refuse(404, "Not Found");
  // Request paths are the launcher's code page 936 bytes.
  const std::string file = joinPath(folder, tools.text.cp936ToLocal(request.path));
  const std::int64_t size = tools.files.size(file);
  std::unique_ptr<platform::InputFile> input =
      size < 0 || tools.files.isDirectory(file) ? nullptr : tools.files.openForReading(file);
  if (!input)
    return refuse(404, "Not Found");
  const auto length = static_cast<std::uint64_t>(size);
  if (!connection.sendAll(head(200, "OK", length, contentType(request.path))) ||
      request.method == "HEAD")
    return {200, 0};
  std::vector<char> block(kBlock);
  std::uint64_t sent = 0;
  while (sent < length) {
    const long got = input->read(block.data(), block.size());
    if (got <= 0 ||
        !connection.sendAll(std::string_view(block.data(), static_cast<std::size_t>(got))))
      break;
    sent += static_cast<std::uint64_t>(got);
  }
  return {200, sent};
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
  return request;
}

void serveFolder(Tools& tools, Listener& listener, const std::string& folder) {
  while (std::unique_ptr<platform::Connection> connection = listener.accept(kIoTimeoutMs)) {
    const std::string text = readHead(*connection);
    if (text.empty())
      continue;
    const FileRequest request = parseFileRequest(text);
    const auto [status, bytes] = answer(tools, *connection, request, folder);
    tools.out << printable(text.substr(0, text.find("\r\n"))) << " -> " << status;
    if (status == 200 && request.method == "GET")
      tools.out << ", " << bytes << " bytes";
    tools.out << std::endl;
  }
}

}  // namespace publisher
