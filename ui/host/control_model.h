#pragma once

// The Launch window's controls kept in memory: built from the control table,
// answering every control operation as the real window does, and recording
// posted notices. Tests run the launcher's logic against it on any platform.

#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "ui/animation_scene.h"
#include "ui/control_table.h"
#include "ui/controls.h"

namespace ui {

struct ControlState {
  const ControlRow* row = nullptr;
  std::string text;
  bool visible = true;
  bool enabled = true;
  Colorref caption = 0;
  int width = 0;
  int height = 0;
  int position = 0;
  Image picture;         // picture box
  AnimationScene scene;  // animation box
  // How often the window was told anything about the control: each costs
  // a repaint on Windows.
  int writes = 0;
};

struct Notice {
  std::string control;
  int first;
  int second;
};

class ControlModel final : public Controls {
 public:
  ControlModel();

  TAVORO_UI_CONTROLS_OVERRIDES

  // For tests. The state is read without the lock: only while no other
  // thread works the controls.
  const ControlState& state(std::string_view name) const;
  // As the real window is until it is first shown: while on, the controls
  // made after the first frame (ui::createdAfterFirstFrame) do not exist yet
  // and an operation on one throws.
  void setFirstFrameOnly(bool firstFrameOnly);
  // The oldest posted notice not yet handled, taken off the queue; other
  // threads may be posting meanwhile.
  std::optional<Notice> takeNotice();
  std::size_t pendingNotices() const;

 private:
  ControlState* find(std::string_view name);
  const ControlState* find(std::string_view name) const;
  // The lock for an operation of the window's thread, which the model takes
  // to be the thread that made it.
  std::unique_lock<std::recursive_mutex> windowThreadLock() const;
  // One field of a control, read or written as an operation of the
  // window's thread.
  template <typename Field>
  Field read(std::string_view name, Field ControlState::*field) const;
  template <typename Field, typename Value>
  void write(std::string_view name, Field ControlState::*field, Value value);

  // The slideshow works the animation box from its own thread.
  mutable std::recursive_mutex mutex_;
  const std::thread::id windowThread_;
  std::map<std::string, ControlState, std::less<>> controls_;
  std::deque<Notice> notices_;
  bool firstFrameOnly_ = false;
};

}  // namespace ui
