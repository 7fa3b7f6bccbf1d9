// A response head as a server (or anyone between) may send it: the end of
// the head is found inside the data, and a parsed head frames its body one
// way only.

#include "fuzz/harness.h"
#include "update/http/http_response.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view received(reinterpret_cast<const char*>(data), size);

  const std::size_t length = update::responseHeadLength(received);
  if (length != std::string_view::npos)
    fuzz::require(length <= received.size() && received[length - 1] == '\n',
                  "a head ends with a line end inside the data");

  const auto head = update::parseResponseHead(received.substr(0, length));
  if (!head)
    return 0;
  fuzz::require(head->status >= 0 && head->status <= 999, "a status has three digits");
  fuzz::require(!head->contentLength || *head->contentLength >= 0, "a body length is not negative");
  fuzz::require(!(head->chunked && head->contentLength),
                "a body is framed by its length or by chunks, not both");
  if (update::hasNoBody(head->status))
    fuzz::require(!head->chunked && head->contentLength == 0, "a status without body has none");
  return 0;
}
