#pragma once

// The launcher's only window, built from the control table, and the
// control operations the logic performs on it.

#include <windows.h>

#include <memory>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "ui/controls.h"
#include "ui/events.h"
#include "ui/image.h"
#include "ui/win32/control.h"
#include "ui/win32/fonts.h"
#include "ui/win32/window_class.h"
#include "ui/window_ops.h"

namespace ui::win32 {

class AnimationBox;

// When the controls that the first frame does not show get their windows
// (ui::createdAfterFirstFrame): before the Created event like all others,
// or in show(), just after the window is on screen and before any message
// is handled, so that the player waits only for what is seen.
enum class Creation { AllAtOnce, FirstFrameFirst };

class LaunchWindow final : public Controls, public WindowOps, private EventSink {
 public:
  LaunchWindow();
  ~LaunchWindow() override;
  LaunchWindow(const LaunchWindow&) = delete;
  LaunchWindow& operator=(const LaunchWindow&) = delete;

  // Registers the classes, creates the window (hidden) and the controls
  // (all, or those of the first frame), stacks them, starts the timers and
  // raises the window's Created event. Every event goes to `events`, which
  // outlives the window. Pictures come from the RCDATA resources of
  // `instance` unless `pictures` is given. False when the window could not
  // be made.
  bool create(HINSTANCE instance, EventSink& events, PictureSource pictures = nullptr,
              Creation creation = Creation::AllAtOnce);
  // Shows and paints the window, then makes the controls still to come.
  void show();
  // Until WM_QUIT; returns its exit code.
  int runMessageLoop();
  HWND handle() const { return window_; }
  // The window of a control, or null (unknown name, or no window).
  HWND controlWindow(std::string_view name) const;

  // ui::Controls
  TAVORO_UI_CONTROLS_OVERRIDES

  // ui::WindowOps
  base::Bytes windowBackgroundPicture() const override;
  void shapeWindowFromPicture(const base::Bytes& picture, Colorref transparent) override;
  void roundWindowCorners(int ellipseWidth, int ellipseHeight) override;
  void minimiseWindow() override;
  void closeWindow() override;

 private:
  void raise(std::string_view control, Event event, const EventArgs& args) override;
  // Window-thread operations from another thread would send across threads.
  void assertWindowThread() const;

  // The one place where a message of the window's thread can be looked at
  // before it is dispatched, in the loop and in pumping delays alike; true
  // when it was handled and must not be.
  bool preTranslate(MSG& message);
  static bool filterMessage(MSG& message);

  void cutShapeFromPicture(const base::Bytes& picture, Colorref transparent);
  bool createControls(Creation creation);
  bool createControlWindow(Control& control);
  void createLateControls();
  void stackControls();
  void startTimers();
  void paintBackground(HDC dc, const RECT& area) const;
  LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  Control* find(std::string_view name) const;
  AnimationBox* findAnimationBox(std::string_view name) const;
  // The operation on the named control (tell, ask) or animation box
  // (tellBox, askBox); `none` answers for a name without one.
  template <typename Operation, typename... Args>
  void tell(std::string_view name, Operation operation, const Args&... args) const;
  template <typename Value, typename Operation, typename... Args>
  Value ask(std::string_view name, Value none, Operation operation, const Args&... args) const;
  template <typename Operation, typename... Args>
  void tellBox(std::string_view box, Operation operation, const Args&... args) const;
  template <typename Value, typename Operation, typename... Args>
  Value askBox(std::string_view box, Value none, Operation operation, const Args&... args) const;

  EventSink* events_ = nullptr;
  DWORD windowThread_ = 0;
  HINSTANCE instance_ = nullptr;
  WindowClass windowClass_;
  std::vector<WindowClass> controlClasses_;
  FontCache fonts_;
  PictureSource pictures_;
  // Built once in create(), then only read: other threads may look names up.
  // Every control is in them from the start, with or without its window.
  std::vector<std::unique_ptr<Control>> controls_;
  std::unordered_map<std::string_view, Control*> byName_;
  // Of the window's thread only.
  std::unordered_map<HWND, Control*> byWindow_;
  // Controls whose windows show() makes.
  std::vector<Control*> late_;
  base::Bytes backgroundBytes_;
  Image backgroundDecoded_;  // as the file has it, for shaping the window
  Image background_;         // over the window's colour, tiled when painting
  HWND window_ = nullptr;
  bool destroying_ = false;
  bool shown_ = false;
  // A shape cut from a picture before the window is first shown waits for
  // the showing: the start-up sequence rounds the corners right after,
  // which replaces it, and the cutting is then never needed.
  struct PendingShape {
    base::Bytes picture;
    Colorref transparent;
  };
  std::optional<PendingShape> pendingShape_;
};

}  // namespace ui::win32
