#pragma once

// A small read-only web server for rehearsing an update on one machine:
// the files of one folder, by GET or HEAD, several clients side by side.
// No folder is listed and nothing outside the folder is reachable: no
// symbolic link is followed, as pack packs none.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "publisher/tools.h"

namespace publisher {

// What a request head asks for: the method and the path below the folder
// ("update-5.1.zip", "sub/file"), percent-decoded; `status` is 0 when it can
// be served, else the status to answer with (400, 404, 405).
struct FileRequest {
  std::string method;
  std::string path;  // "/" between folders, as the request has it
  int status = 0;
  // One range of bytes asked for ("Range: bytes=..."); a malformed one, or
  // more than one, is ignored and the whole file sent, as HTTP allows.
  bool ranged = false;
  std::optional<std::uint64_t> first;  // none: the last `last` bytes
  std::optional<std::uint64_t> last;   // inclusive; none: to the end
  std::string ifRange;                 // the validator the range depends on
};
FileRequest parseFileRequest(std::string_view head);

// The part of a file of `length` bytes a request's range asks for, from
// `from` for `count` bytes; `status` 200 (the whole file), 206 or 416.
struct ServedPart {
  int status = 200;
  std::uint64_t from = 0;
  std::uint64_t count = 0;
};
ServedPart servedPart(const FileRequest& request, std::uint64_t length, const std::string& etag,
                      const std::string& lastModified);

// "Tue, 08 Dec 2026 22:07:07 GMT" for seconds since 1970.
std::string httpDate(std::int64_t secondsSince1970);

// How long one client may take, and how many are answered at once, so that
// a client that trickles its request or reads its answer slowly holds one
// place for a while and no more.
struct ServeLimits {
  // For the whole request head, from the connection on.
  std::chrono::milliseconds head{30000};
  // For each block of the answer (64 KiB; the headers are one).
  std::chrono::milliseconds block{30000};
  // Answered side by side; more wait to be accepted.
  int clients = 16;
};

// Answers connections until the listener stops, each request logged on
// tools.out; then ends those still being answered.
void serveFolder(Tools& tools, Listener& listener, const std::string& folder,
                 const ServeLimits& limits = {});

}  // namespace publisher
