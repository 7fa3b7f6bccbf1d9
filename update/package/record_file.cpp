#include "update/package/record_file.h"

#include <algorithm>
#include <memory>
#include <utility>

namespace update {
namespace {

// Most records are far shorter: the buffer starts small and doubles.
constexpr std::size_t kFirstReadBytes = 4096;

}  // namespace

RecordBytes readRecordFile(platform::Files& files, const std::string& path, std::size_t maxBytes) {
  const std::unique_ptr<platform::InputFile> file = files.openForReading(path);
  if (!file)
    return {};
  base::Bytes bytes;
  std::size_t size = 0;
  for (;;) {
    if (size == bytes.size()) {
      if (size == maxBytes) {
        unsigned char extra = 0;
        const long got = file->read(&extra, 1);
        if (got < 0)
          return {};
        if (got > 0)
          return {RecordRead::kTooLong, {}};
        break;
      }
      // Reserved first: a resize alone may take more than it is asked for.
      const std::size_t grown = std::min(maxBytes, std::max(kFirstReadBytes, size * 2));
      bytes.reserve(grown);
      bytes.resize(grown);
    }
    const long got = file->read(bytes.data() + size, bytes.size() - size);
    if (got < 0)
      return {};
    if (got == 0)
      break;
    size += static_cast<std::size_t>(got);
  }
  bytes.resize(size);
  return {RecordRead::kRead, std::move(bytes)};
}

}  // namespace update
