// A response's raw header block as the request helper reads it: the block
// as the fixed buffer holds it, the redirect target and the cookies it sets,
// merged with the cookies kept from before.

#include "base/text.h"
#include "fuzz/harness.h"
#include "update/http/http_request.h"
#include "update/http/web_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const bool queried = input.ConsumeBool();
  std::string location = input.ConsumeRandomLengthString(64);
  std::string cookies = input.ConsumeRandomLengthString(256);
  const std::string block = input.ConsumeRemainingBytesAsString();

  const std::string raw = update::headerBufferText(block, queried);
  fuzz::require(raw.size() < update::kRawHeaderBufferSize ||
                    raw == std::string(update::kRawHeaderBufferSize, ' '),
                "the header text fits the buffer with its terminating zero");

  std::string returned;
  update::scanResponseHeaders(raw, location, returned);
  update::mergeCookies(cookies, returned);
  for (const std::string& cookie : base::splitText(cookies, "; ")) {
    fuzz::require(cookie.size() < 8 || cookie.compare(cookie.size() - 8, 8, "=deleted") != 0,
                  "deleted cookies are dropped");
  }
  return 0;
}
