// A chunked body however the network cuts it: fed in pieces of any size, the
// decoder gives the same payload and the same verdict as fed whole.

#include "fuzz/harness.h"
#include "update/http/chunked_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const std::size_t pieceSize = input.ConsumeIntegralInRange<std::size_t>(1, 64);
  const std::string body = input.ConsumeRemainingBytesAsString();

  update::ChunkedDecoder whole;
  std::string wholePayload;
  const bool wholeIntact = whole.feed(body, wholePayload);

  update::ChunkedDecoder pieces;
  std::string piecesPayload;
  bool piecesIntact = true;
  for (std::size_t at = 0; piecesIntact && at < body.size(); at += pieceSize)
    piecesIntact = pieces.feed(std::string_view(body).substr(at, pieceSize), piecesPayload);

  fuzz::require(wholeIntact == piecesIntact, "the framing verdict does not depend on the pieces");
  fuzz::require(whole.finished() == pieces.finished(), "the end does not depend on the pieces");
  fuzz::require(wholePayload == piecesPayload, "the payload does not depend on the pieces");
  fuzz::require(wholePayload.size() <= body.size(), "the payload is carried by the body");
  return 0;
}
