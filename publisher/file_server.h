#pragma once

// A small read-only web server for rehearsing an update on one machine:
// the files of one folder, by GET or HEAD, one connection at a time. No
// folder is listed and nothing outside the folder is reachable.

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
};
FileRequest parseFileRequest(std::string_view head);

// Answers connections until the listener stops, each request logged on
// tools.out.
void serveFolder(Tools& tools, Listener& listener, const std::string& folder);

}  // namespace publisher
