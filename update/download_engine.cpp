#include "update/download_engine.h"

#include <memory>
#include <set>
#include <string>

#include "update/download_body.h"
#include "update/http_response.h"
#include "update/open_connection.h"

namespace update {
namespace {

constexpr char kUserAgent[] = "Mozilla/4.0 (compatible; TavoroUpdate 5.0; Windows NT 6.1)";
constexpr std::size_t kHeadReadSize = 4096;

struct Response {
  std::unique_ptr<platform::Connection> connection;
  ResponseHead head;
  std::string bodyStart;
};

// Reads the head, skipping interim 1xx heads; false on trouble.
bool readHead(platform::Connection& connection, Response& response) {
  std::string data;
  char buffer[kHeadReadSize];
  for (;;) {
    const std::size_t length = responseHeadLength(data);
    if (length != std::string::npos) {
      const auto head = parseResponseHead(std::string_view(data).substr(0, length));
      if (!head)
        return false;
      data.erase(0, length);
      if (isInterimStatus(head->status))
        continue;
      response.head = *head;
      response.bodyStart = std::move(data);
      return true;
    }
    if (data.size() > kMaxResponseHeadBytes)
      return false;
    const long got = connection.receive(buffer, sizeof(buffer));
    if (got <= 0)
      return false;
    data.append(buffer, static_cast<std::size_t>(got));
  }
}

// Where a redirect loop would return: the scheme counts, as http and https
// of one host and target are two places.
std::string placeOf(const HttpAddress& address) {
  return (address.secure ? "https://" : "http://") + hostAndPort(address) + address.target;
}

class Download {
 public:
  Download(const DownloadSettings& settings, platform::Sockets& sockets, platform::Tls& tls,
           platform::Files& files, DownloadStop& stop, DownloadObserver& observer)
      : settings_(settings),
        sockets_(sockets),
        tls_(tls),
        files_(files),
        stop_(stop),
        observer_(observer) {}

  DownloadResult run() {
    HttpAddress address = settings_.address;
    std::set<std::string> visited;
    for (int redirects = 0;; ++redirects) {
      visited.insert(placeOf(address));
      Response response;
      if (!fetchHead(address, response))
        return failure();
      if (!isRedirectStatus(response.head.status) || response.head.location.empty())
        return finish(response);
      const auto next = resolveLocation(address, response.head.location);
      // Too many hops, a loop, or a target we cannot fetch (https to plain
      // http among them) ends the task.
      if (redirects == kMaxRedirects || !next || visited.count(placeOf(*next)) != 0) {
        return failure();
      }
      address = *next;
    }
  }

 private:
  bool fetchHead(const HttpAddress& address, Response& response) {
    if (stop_.requested())
      return false;
    response.connection = openConnection(sockets_, tls_, address.host, address.port, address.secure,
                                         settings_.connectTimeoutMs, settings_.receiveTimeoutMs);
    if (!response.connection)
      return false;
    // Adopted before the first send, which runs the TLS handshake: a stop
    // aborts that too.
    AdoptedConnection abortable(stop_, response.connection.get());
    return abortable && response.connection->sendAll(getRequest(address, kUserAgent)) &&
           readHead(*response.connection, response);
  }

  DownloadResult finish(Response& response) {
    // An error page is not the package: nothing is written for it.
    if (!isSuccessStatus(response.head.status))
      return failure();
    AdoptedConnection abortable(stop_, response.connection.get());
    if (!abortable)
      return DownloadResult::kStopped;
    return receiveBody(settings_, files_, stop_, observer_, *response.connection, response.head,
                       response.bodyStart);
  }

  DownloadResult failure() const {
    return stop_.requested() ? DownloadResult::kStopped : DownloadResult::kFailed;
  }

  const DownloadSettings& settings_;
  platform::Sockets& sockets_;
  platform::Tls& tls_;
  platform::Files& files_;
  DownloadStop& stop_;
  DownloadObserver& observer_;
};

}  // namespace

DownloadResult runDownload(const DownloadSettings& settings, platform::Sockets& sockets,
                           platform::Tls& tls, platform::Files& files, DownloadStop& stop,
                           DownloadObserver& observer) {
  return Download(settings, sockets, tls, files, stop, observer).run();
}

}  // namespace update
