#include "core/slideshow.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "core/program.h"
#include "core/state.h"
#include "ui/control_names.h"

namespace core {
namespace {

constexpr char kPictureFolder[] = "\\tavoro\\";
constexpr char kPicturePattern[] = "*.jpg";
constexpr int kFadeSteps = 10;
constexpr int kFadeStepMs = 30;
constexpr int kHoldMs = 5000;

// The running thread and what wakes its waits when the program ends.
struct SlideshowThread {
  std::mutex mutex;
  std::condition_variable wake;
  bool stopping = false;
  std::thread thread;
};

SlideshowThread& slideshowThread() {
  static auto* instance = new SlideshowThread;  // outlives static destruction
  return *instance;
}

bool sleepUnlessStopping(int milliseconds) {
  SlideshowThread& t = slideshowThread();
  std::unique_lock<std::mutex> lock(t.mutex);
  return !t.wake.wait_for(lock, std::chrono::milliseconds(milliseconds),
                          [&t] { return t.stopping; });
}

}  // namespace

void loadSlideshowPictures() {
  platform::Files& files = *context().os.files;
  const std::string folder = context().os.process->runDirectory() + kPictureFolder;
  std::vector<Bytes>& pictures = programState().slideshowPictures;
  for (const std::string& name : files.findFiles(folder, kPicturePattern)) {
    // An unreadable file gives an empty entry: its cycle shows no picture.
    pictures.push_back(files.readAll(folder + name));
  }
}

bool showNextPicture(int& index, const SlideshowWait& wait) {
  ui::Controls& controls = *context().controls;
  const std::vector<Bytes>& pictures = programState().slideshowPictures;
  const int overlay = programState().slideshowOverlay;
  if (pictures.empty())
    return false;

  index = index + 1 > static_cast<int>(pictures.size()) ? 1 : index + 1;
  controls.setPicture(ui::name::kSlideshow, pictures[index - 1]);
  for (int step = 1; step <= kFadeSteps; ++step) {
    controls.setLayerTransparency(ui::name::kSlideshow, overlay, step * 10);
    if (!wait(kFadeStepMs))
      return false;
  }
  const int width = controls.width(ui::name::kSlideshow);
  const int height = controls.height(ui::name::kSlideshow);
  controls.setLayerPicture(ui::name::kSlideshow, overlay,
                           controls.captureArea(ui::name::kSlideshow, 0, 0, width, height));
  return wait(kHoldMs);
}

void runSlideshow(const SlideshowWait& wait) {
  loadSlideshowPictures();
  int index = 0;
  while (showNextPicture(index, wait)) {
  }
}

void startSlideshowThread() {
  SlideshowThread& t = slideshowThread();
  if (t.thread.joinable())
    return;
  t.stopping = false;
  t.thread = std::thread([] { runSlideshow(sleepUnlessStopping); });
}

void stopSlideshowThread() {
  SlideshowThread& t = slideshowThread();
  {
    std::lock_guard<std::mutex> lock(t.mutex);
    t.stopping = true;
  }
  t.wake.notify_all();
  if (t.thread.joinable())
    t.thread.join();
}

bool slideshowThreadRunning() {
  return slideshowThread().thread.joinable();
}

}  // namespace core
