// Addresses from the version page and redirect targets from any server: an
// address the download engine accepts, or a Location resolved against one,
// gives a request of exactly its own lines; what began as https stays so.

#include <algorithm>

#include "fuzz/harness.h"
#include "update/http/http_address.h"
#include "update/http/http_request.h"

namespace {

void requireFetchable(const update::HttpAddress& address) {
  fuzz::require(!address.host.empty() && address.port >= 1 && address.port <= 65535,
                "an address names a host and a port");
  fuzz::require(!address.target.empty() && address.target.front() == '/',
                "a request target starts with /");
  fuzz::require(std::all_of(address.target.begin(), address.target.end(),
                            [](char c) { return c > ' ' && c < 0x7F && c != '#'; }),
                "a request target is one token without fragment");
  const std::string request = update::getRequest(address, update::kDefaultUserAgent);
  fuzz::require(std::count(request.begin(), request.end(), '\n') == 6 &&
                    std::count(request.begin(), request.end(), '\r') == 6,
                "a request has its five lines and the blank one, no more");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const std::string location = input.ConsumeRandomLengthString(256);
  const std::string address = input.ConsumeRemainingBytesAsString();

  const auto parsed = update::parseHttpAddress(address);
  if (parsed)
    requireFetchable(*parsed);
  const auto base = update::parseHttpAddress("http://update.example.invalid/launcher/version.html");
  if (const auto next = update::resolveLocation(parsed ? *parsed : *base, location))
    requireFetchable(*next);
  const auto secureBase = update::parseHttpAddress("https://update.example.invalid/launcher/");
  if (const auto next = update::resolveLocation(*secureBase, location)) {
    requireFetchable(*next);
    fuzz::require(next->secure, "a redirect from https never leads to plain http");
  }

  // The small client's own reading of an address, as the version page
  // request uses it: what a strict address names, it names alike.
  if (const auto loose = update::parseLooseAddress(address)) {
    fuzz::require(!loose->target.empty() && loose->target.front() == '/',
                  "a request path starts with /");
    fuzz::require(loose->port >= 1 && loose->port <= 65535, "a port is in range");
    fuzz::require(!parsed || (loose->port == parsed->port && loose->secure == parsed->secure),
                  "both readings agree on scheme and port");
  }
  return 0;
}
