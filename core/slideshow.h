#pragma once

// The slideshow in the middle of the Launch window: every *.jpg of the
// game's tavoro folder in turn, each faded in over the previous one and held
// for five seconds, on a thread of its own.

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "base/bytes.h"
#include "platform/files.h"
#include "platform/process.h"
#include "ui/controls.h"

namespace core {

// The slideshow's part of the program-wide state.
struct SlideshowState {
  std::int32_t overlay = 0;  // the fading layer of the animation box
  std::vector<base::Bytes> pictures;
};

// Pauses the slideshow; false when it must stop instead.
using SlideshowWait = std::function<bool(int milliseconds)>;

// What the slideshow works with; everything here outlives its thread.
struct Slideshow {
  platform::Files& files;
  platform::Process& process;
  ui::AnimationBoxes& boxes;
  SlideshowState& state;
};

// Reads every picture file once into the state's list.
void loadSlideshowPictures(const Slideshow& show);

// One cycle: the next picture as the box's background, the overlay faded
// out in ten steps, the result captured into the overlay, then the hold.
// `index` is 1-based and wraps; false when a wait said stop.
bool showNextPicture(const Slideshow& show, int& index, const SlideshowWait& wait);

// Loads the pictures, then cycles until a wait says stop. Without pictures
// there is nothing to show and it returns at once.
void runSlideshow(const Slideshow& show, const SlideshowWait& wait);

// The slideshow thread: started once, stopped (and joined) before what it
// works with goes; its waits end early when it is stopped.
class SlideshowThread {
 public:
  explicit SlideshowThread(Slideshow show) : show_(show) {}
  ~SlideshowThread() { stop(); }
  SlideshowThread(const SlideshowThread&) = delete;
  SlideshowThread& operator=(const SlideshowThread&) = delete;

  void start();
  void stop();
  bool running() const { return thread_.joinable(); }

 private:
  bool sleepUnlessStopping(int milliseconds);

  const Slideshow show_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool stopping_ = false;
  std::thread thread_;
};

}  // namespace core
