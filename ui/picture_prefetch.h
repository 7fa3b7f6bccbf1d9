#pragma once

// Pictures decoded ahead on a thread of their own while the caller goes on:
// the Launch window's pictures decode while the system connects the window
// to the display, which keeps the window's thread waiting anyway.

#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "base/bytes.h"
#include "ui/image.h"

namespace ui {

class PicturePrefetch {
 public:
  // The bytes of a picture by name; called on the decoding thread.
  using Source = std::function<base::Bytes(const char* name)>;

  // Starts decoding the named pictures, each name once. Should no thread be
  // had, they are decoded here and now.
  PicturePrefetch(Source source, std::vector<const char*> names);
  // Waits for the decoding.
  ~PicturePrefetch();
  PicturePrefetch(const PicturePrefetch&) = delete;
  PicturePrefetch& operator=(const PicturePrefetch&) = delete;

  // The decoded picture, once the decoding is done (the first call waits
  // for it); empty for a name not asked for or bytes that do not decode.
  // Of the thread that made the prefetch only.
  const Image& image(std::string_view name);

 private:
  void wait();

  std::map<std::string, Image, std::less<>> images_;
  std::thread worker_;
};

}  // namespace ui
