#include "update/http/chunked_decoder.h"

#include <algorithm>

#include "base/cp936.h"

namespace update {
namespace {

// 15 hex digits stay far below 2^63; more is no real chunk.
constexpr int kMaxSizeDigits = 15;

}  // namespace

bool ChunkedDecoder::sizeDigit(char c) {
  const int value = base::hexDigitValue(c);
  if (value < 0 || ++sizeDigits_ > kMaxSizeDigits)
    return false;
  remaining_ = remaining_ * 16 + static_cast<std::uint64_t>(value);
  return true;
}

void ChunkedDecoder::endSizeLine() {
  state_ = remaining_ == 0 ? State::kTrailerLineStart : State::kData;
  sizeDigits_ = 0;
}

bool ChunkedDecoder::feed(std::string_view input, std::string& payload) {
  std::size_t at = 0;
  while (at < input.size() && state_ != State::kDone) {
    const char c = input[at];
    switch (state_) {
      case State::kSize:
        if (c == '\n' && sizeDigits_ > 0) {
          endSizeLine();
        } else if (c == ';' || c == ' ' || c == '\t' || c == '\r') {
          if (sizeDigits_ == 0)
            return false;
          state_ = State::kExtension;
        } else if (!sizeDigit(c)) {
          return false;
        }
        ++at;
        break;
      case State::kExtension:
        if (c == '\n')
          endSizeLine();
        ++at;
        break;
      case State::kData: {
        const std::size_t take =
            static_cast<std::size_t>(std::min<std::uint64_t>(remaining_, input.size() - at));
        payload.append(input.data() + at, take);
        remaining_ -= take;
        at += take;
        if (remaining_ == 0) {
          state_ = State::kDataEnd;
          sawDataCr_ = false;
        }
        break;
      }
      case State::kDataEnd:
        if (c == '\r' && !sawDataCr_) {
          sawDataCr_ = true;
        } else if (c == '\n') {
          state_ = State::kSize;
        } else {
          return false;
        }
        ++at;
        break;
      case State::kTrailerLineStart:
        if (c == '\n')
          state_ = State::kDone;
        else if (c != '\r')
          state_ = State::kTrailerLine;
        ++at;
        break;
      case State::kTrailerLine:
        if (c == '\n')
          state_ = State::kTrailerLineStart;
        ++at;
        break;
      case State::kDone:
        break;
    }
  }
  return true;
}

}  // namespace update

#include "base/cp936.h"