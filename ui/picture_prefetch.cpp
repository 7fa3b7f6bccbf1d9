#include "ui/picture_prefetch.h"

#include <system_error>
#include <utility>

namespace ui {
namespace {

// Each name once: a button may show one picture in two of its states.
std::map<std::string, Image, std::less<>> decodeAll(const PicturePrefetch::Source& source,
                                                    const std::vector<const char*>& names) {
  std::map<std::string, Image, std::less<>> images;
  for (const char* name : names) {
    if (name != nullptr && images.find(name) == images.end())
      images.emplace(name, decodePicture(source(name)));
  }
  return images;
}

}  // namespace

PicturePrefetch::PicturePrefetch(Source source, std::vector<const char*> names) {
  // The thread fills images_ alone until wait() joins it.
  auto decode = [this, source = std::move(source), names = std::move(names)] {
    images_ = decodeAll(source, names);
  };
  try {
    worker_ = std::thread(decode);
  } catch (const std::system_error&) {
    decode();
  }
}

PicturePrefetch::~PicturePrefetch() {
  wait();
}

void PicturePrefetch::wait() {
  if (worker_.joinable())
    worker_.join();
}

const Image& PicturePrefetch::image(std::string_view name) {
  wait();
  static const Image kNone;
  const auto found = images_.find(name);
  return found != images_.end() ? found->second : kNone;
}

}  // namespace ui
