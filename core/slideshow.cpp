#include "core/slideshow.h"

#include <chrono>
#include <exception>

#include "core/picture_file.h"
#include "ui/control_names.h"

namespace core {
namespace {

constexpr char kPictureFolder[] = "\\tavoro\\";
constexpr char kPicturePattern[] = "*.jpg";
constexpr int kFadeSteps = 10;
constexpr int kFadeStepMs = 30;
constexpr int kHoldMs = 5000;

}  // namespace

void loadSlideshowPictures(const Slideshow& show) {
  const std::string folder = show.process.runDirectory() + kPictureFolder;
  for (const std::string& name : show.files.findFiles(folder, kPicturePattern)) {
    // An unreadable file, or one beyond the budget, gives an empty entry:
    // its cycle shows no picture.
    show.state.pictures.push_back(readPictureFile(show.files, folder + name));
  }
}

bool showNextPicture(const Slideshow& show, int& index, const SlideshowWait& wait) {
  ui::AnimationBoxes& boxes = show.boxes;
  const std::vector<base::Bytes>& pictures = show.state.pictures;
  const int overlay = show.state.overlay;
  if (pictures.empty())
    return false;

  index = index + 1 > static_cast<int>(pictures.size()) ? 1 : index + 1;
  boxes.setBoxPicture(ui::name::kSlideshow, pictures[index - 1]);
  for (int step = 1; step <= kFadeSteps; ++step) {
    boxes.setLayerTransparency(ui::name::kSlideshow, overlay, step * 10);
    if (!wait(kFadeStepMs))
      return false;
  }
  const int width = boxes.boxWidth(ui::name::kSlideshow);
  const int height = boxes.boxHeight(ui::name::kSlideshow);
  boxes.setLayerPicture(ui::name::kSlideshow, overlay,
                        boxes.captureArea(ui::name::kSlideshow, 0, 0, width, height));
  return wait(kHoldMs);
}

void runSlideshow(const Slideshow& show, const SlideshowWait& wait) {
  loadSlideshowPictures(show);
  int index = 0;
  while (showNextPicture(show, index, wait)) {
  }
}

void SlideshowThread::start() {
  if (thread_.joinable())
    return;
  stopping_ = false;
  thread_ = std::thread([this] {
    // Out of memory in a 32-bit process ends the slideshow, not the program.
    try {
      runSlideshow(show_, [this](int ms) { return sleepUnlessStopping(ms); });
    } catch (const std::exception&) {
    }
  });
}

void SlideshowThread::stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable())
    thread_.join();
}

bool SlideshowThread::sleepUnlessStopping(int milliseconds) {
  std::unique_lock<std::mutex> lock(mutex_);
  return !wake_.wait_for(lock, std::chrono::milliseconds(milliseconds),
                         [this] { return stopping_; });
}

}  // namespace core
