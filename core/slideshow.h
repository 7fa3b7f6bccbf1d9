#pragma once

// The slideshow in the middle of the Launch window: every *.jpg of the
// game's tavoro folder in turn, each faded in over the previous one and held
// for five seconds, on a thread of its own.

#include <functional>

namespace core {

// Pauses the slideshow; false when it must stop instead.
using SlideshowWait = std::function<bool(int milliseconds)>;

// Reads every picture file once into the program-wide list.
void loadSlideshowPictures();

// One cycle: the next picture as the box's background, the overlay faded
// out in ten steps, the result captured into the overlay, then the hold.
// `index` is 1-based and wraps; false when a wait said stop.
bool showNextPicture(int& index, const SlideshowWait& wait);

// Loads the pictures, then cycles until a wait says stop. Without pictures
// there is nothing to show and it returns at once.
void runSlideshow(const SlideshowWait& wait);

// The slideshow thread: started once, stopped (and joined) by the exit
// clean-up before the pictures are released.
void startSlideshowThread();
void stopSlideshowThread();
bool slideshowThreadRunning();

}  // namespace core
