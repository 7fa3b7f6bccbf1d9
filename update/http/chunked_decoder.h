#pragma once

// Undoes "Transfer-Encoding: chunked" incrementally, so a body never has to
// be held whole: each piece of input gives the payload bytes it carries.

#include <cstdint>
#include <string>
#include <string_view>

namespace update {

class ChunkedDecoder {
 public:
  // Appends the payload carried by `input` to `payload`. False when the
  // framing is broken; bytes after the final chunk and its trailer are
  // ignored.
  bool feed(std::string_view input, std::string& payload);
  // True once the zero-size chunk and the trailer's blank line have arrived.
  bool finished() const { return state_ == State::kDone; }

 private:
  enum class State {
    kSize,
    kExtension,
    kData,
    kDataEnd,
    kTrailerLineStart,
    kTrailerLine,
    kDone,
  };

  bool sizeDigit(char c);
  void endSizeLine();

  State state_ = State::kSize;
  std::uint64_t remaining_ = 0;
  int sizeDigits_ = 0;
  bool sawDataCr_ = false;
};

}  // namespace update
