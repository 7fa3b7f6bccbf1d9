#include "publisher/package_fetch.h"

#include "publisher/messages.h"
#include "publisher/printable.h"
#include "publisher/refusal.h"
#include "update/download/download_engine.h"
#include "update/http/http.h"

namespace publisher {
namespace {

class Watcher final : public update::DownloadObserver {
 public:
  Watcher(update::DownloadStop& stop, std::uint64_t limit) : stop_(stop), limit_(limit) {}
  void blockWritten(std::int32_t, std::int64_t received) override {
    if (static_cast<std::uint64_t>(received) > limit_) {
      longer_ = true;
      stop_.request();
    }
  }
  bool longer() const { return longer_; }

 private:
  update::DownloadStop& stop_;
  const std::uint64_t limit_;
  bool longer_ = false;
};

// The server's answer to the address, when it gave one: its status line.
std::string statusOf(Tools& tools, const std::string& address) {
  std::string headers;
  update::WebRequestOptions options;
  options.responseHeaders = &headers;
  update::webRequest(tools.http, address, options);
  const std::string line = statusLineOf(headers);
  if (line.empty())
    return say(tools, Message::kPackageNoAnswer);
  const std::size_t space = line.find(' ');
  if (space != std::string::npos && line.compare(space + 1, 1, "2") == 0)
    return say(tools, Message::kTransferBrokeOff, {printable(line)});
  if (answersNotFound(line))
    return say(tools, Message::kPackageNotUploaded, {printable(line)});
  return say(tools, Message::kServerAnswers, {printable(line)});
}

}  // namespace

bool answersNotFound(const std::string& statusLine) {
  const std::size_t space = statusLine.find(' ');
  return space != std::string::npos && statusLine.compare(space + 1, 3, "404") == 0 &&
         (statusLine.size() == space + 4 || statusLine[space + 4] == ' ');
}

std::string statusLineOf(const std::string& rawHeaders) {
  if (rawHeaders.find_first_not_of(' ') == std::string::npos)
    return {};
  return rawHeaders.substr(0, rawHeaders.find('\r'));
}

FetchedPackage::FetchedPackage(Tools& tools, const std::string& address,
                               std::uint64_t announcedSize)
    : tools_(tools) {
  const std::optional<update::HttpAddress> parsed = update::parseHttpAddress(address);
  if (!parsed)
    throw Refusal(Message::kPackageAddressBad, {printable(tools.text.cp936ToLocal(address))});
  const std::string folder = tools.system.temporaryFolder();
  const std::string separator =
      folder.empty() || folder.back() == '/' || folder.back() == '\\' ? "" : "/";
  const std::optional<std::string> path =
      update::unusedLocalPath(tools.files, folder + separator + "tavoro-verify.zip");
  if (!path)
    throw Refusal(Message::kNoTemporaryName, {folder});
  update::DownloadSettings settings;
  settings.address = *parsed;
  settings.localPath = *path;
  update::DownloadStop stop;
  Watcher watcher(stop, announcedSize);
  const update::DownloadResult result =
      update::runDownload(settings, tools.sockets, tools.tls, tools.files, stop, watcher);
  longer_ = watcher.longer();
  if (result == update::DownloadResult::kComplete) {
    path_ = *path;
    return;
  }
  tools.files.remove(*path);
  if (longer_)
    return;
  throw Refusal(Message::kCannotDownloadPackage,
                {printable(tools.text.cp936ToLocal(address)), statusOf(tools, address)});
}

FetchedPackage::~FetchedPackage() {
  if (!path_.empty())
    tools_.files.remove(path_);
}

}  // namespace publisher
