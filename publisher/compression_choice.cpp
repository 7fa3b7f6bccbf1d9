#include "publisher/compression_choice.h"

#include <zlib.h>

#include <vector>

namespace publisher {

bool worthDeflating(const void* sample, std::size_t size) {
  if (size == 0)
    return true;
  std::vector<Bytef> out(compressBound(static_cast<uLong>(size)));
  uLongf outSize = static_cast<uLongf>(out.size());
  if (compress2(out.data(), &outSize, static_cast<const Bytef*>(sample), static_cast<uLong>(size),
                Z_BEST_SPEED) != Z_OK)
    return true;  // libzip's own deflate decides then
  return outSize <= size - size / 32;
}

}  // namespace publisher
