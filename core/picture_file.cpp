#include "core/picture_file.h"

namespace core {

base::Bytes readPictureFile(platform::Files& files, const std::string& path) {
  return files.size(path) <= kMaxPictureFileBytes ? files.readAll(path) : base::Bytes{};
}

}  // namespace core
