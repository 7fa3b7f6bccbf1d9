#include "ui/win32/launch_window.h"

#include <algorithm>
#include <cassert>

#include "platform/win32/wide_text.h"
#include "platform/win32/win32_services.h"
#include "ui/chrome.h"
#include "ui/control_table.h"
#include "ui/picture_prefetch.h"
#include "ui/win32/control_kinds.h"
#include "ui/win32/drawing.h"
#include "ui/win32/gdi.h"
#include "ui/win32/resources.h"

namespace ui::win32 {
namespace {

constexpr DWORD kWindowStyle = WS_POPUP | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
constexpr DWORD kWindowExStyle = WS_EX_APPWINDOW;
// Timer ids are the timer's index in the control table, plus this.
constexpr UINT_PTR kFirstTimerId = 100;

// The window whose filter sees the thread's messages.
LaunchWindow* g_filteringWindow = nullptr;

HICON loadIcon(HINSTANCE instance, const char* name, int sizeMetric) {
  const int size = GetSystemMetrics(sizeMetric);
  // Shared: the system frees it with the module.
  return static_cast<HICON>(LoadImageA(instance, name, IMAGE_ICON, size, size, LR_SHARED));
}

}  // namespace

LaunchWindow::LaunchWindow() = default;

LaunchWindow::~LaunchWindow() {
  if (g_filteringWindow == this) {
    platform::win32::setMessageFilter(nullptr);
    g_filteringWindow = nullptr;
  }
  if (window_ != nullptr) {
    // Tearing down is not the user closing the window: no WM_QUIT for it.
    destroying_ = true;
    DestroyWindow(window_);
  }
}

bool LaunchWindow::create(HINSTANCE instance, EventSink& events, PictureSource pictures,
                          Creation creation) {
  instance_ = instance;
  events_ = &events;
  windowThread_ = GetCurrentThreadId();
  if (!pictures) {
    pictures = [instance](const char* name) { return resourceBytes(instance, name); };
  }
  pictures_ = pictures;
  const WindowProperties& row = launchWindowProperties();
  // Decoded while the system connects the window to the display below.
  PicturePrefetch decoded(pictures, windowPictureNames());

  WNDCLASSEXW description{};
  description.cbSize = sizeof description;
  description.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
  description.lpfnWndProc = &LaunchWindow::windowProc;
  description.hInstance = instance;
  description.hIcon = loadIcon(instance, row.icon, SM_CXICON);
  description.hIconSm = loadIcon(instance, row.icon, SM_CXSMICON);
  description.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  description.hbrBackground = static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
  windowClass_ = WindowClass(description, row.className);
  controlClasses_ = registerControlClasses(instance);
  if (!windowClass_.usable())
    return false;
  platform::win32::trace().mark("classes registered");

  backgroundBytes_ = pictures(row.backgroundPicture);
  backgroundDecoded_ = decoded.image(row.backgroundPicture);
  background_ =
      backgroundDecoded_.empty() ? Image{} : compositeOver(backgroundDecoded_, row.background);
  platform::win32::trace().mark("background decoded");

  // The primary display, not the work area.
  const int left = (GetSystemMetrics(SM_CXSCREEN) - row.width) / 2;
  const int top = (GetSystemMetrics(SM_CYSCREEN) - row.height) / 2;
  window_ = CreateWindowExW(kWindowExStyle, platform::win32::widen(row.className).c_str(),
                            platform::win32::widen(row.title).c_str(), kWindowStyle, left, top,
                            row.width, row.height, nullptr, nullptr, instance, this);
  if (window_ == nullptr)
    return false;
  platform::win32::trace().mark("window created");

  if (!createControls(creation))
    return false;
  platform::win32::trace().mark("controls created");
  for (const auto& control : controls_)
    control->loadTablePictures([&decoded](const char* name) { return decoded.image(name); });
  platform::win32::trace().mark("pictures loaded");
  stackControls();
  startTimers();
  platform::win32::trace().mark("stacked, timers started");
  // Pumping delays dispatch this thread's messages too; they see the same filter.
  g_filteringWindow = this;
  platform::win32::setMessageFilter(&LaunchWindow::filterMessage);
  raise(kWindow, Event::Created, {});
  platform::win32::trace().mark("created event handled");
  return true;
}

namespace {

// The window's children in their stacking order, topmost first, then the
// controls that are no window's child (records, the banner's link labels)
// in table order. Windows puts each new child below its siblings, so this
// order leaves the stacking right without moving anything afterwards.
std::vector<const ControlRow*> creationOrder() {
  std::vector<const ControlRow*> order;
  for (const char* name : stackingOrder()) {
    if (const ControlRow* row = findControl(name))
      order.push_back(row);
  }
  for (const ControlRow& row : controlTable()) {
    if (std::find(order.begin(), order.end(), &row) == order.end())
      order.push_back(&row);
  }
  return order;
}

}  // namespace

bool LaunchWindow::createControls(Creation creation) {
  for (const ControlRow* row : creationOrder()) {
    controls_.push_back(makeControl(*row, *this));
    Control& control = *controls_.back();
    byName_.emplace(row->name, &control);
    if (creation == Creation::FirstFrameFirst && createdAfterFirstFrame(*row)) {
      late_.push_back(&control);
    } else if (!createControlWindow(control)) {
      return false;
    }
  }
  return true;
}

bool LaunchWindow::createControlWindow(Control& control) {
  const ControlRow& row = control.row();
  HWND parent = window_;
  if (row.parent != nullptr) {
    Control* owner = find(row.parent);
    if (owner == nullptr || owner->window() == nullptr)
      return false;
    parent = owner->window();
  }
  if (!control.create(parent, instance_))
    return false;
  if (HWND child = control.window()) {
    byWindow_.emplace(child, &control);
    SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(fonts_.fontFor(row.font)), FALSE);
    if (row.visible)
      ShowWindow(child, SW_SHOWNA);
  }
  return true;
}

void LaunchWindow::createLateControls() {
  if (late_.empty())
    return;
  // Made in creation order, they stack below the others; the stacking pass
  // moves them to their places. One that cannot be made stays without a
  // window, which the control operations take as they take an unknown name.
  for (Control* control : late_) {
    if (createControlWindow(*control))
      control->loadTablePictures(
          [this](const char* name) { return decodePicture(pictures_(name)); });
  }
  late_.clear();
  stackControls();
  platform::win32::trace().mark("late controls created");
}

void LaunchWindow::stackControls() {
  // Explicitly, from the table: creation order says nothing about it.
  // Creation order usually leaves nothing to move; each move costs a
  // round trip to the window server, so only the misplaced ones move.
  HWND above = HWND_TOP;
  for (const char* name : stackingOrder()) {
    HWND child = controlWindow(name);
    if (child == nullptr)
      continue;
    HWND before = GetWindow(child, GW_HWNDPREV);
    if (above == HWND_TOP ? before != nullptr : before != above)
      SetWindowPos(child, above, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    above = child;
  }
  // Children of other controls (the banner's link labels) stack among
  // themselves in table order.
  std::unordered_map<HWND, HWND> lastChildOf;
  for (const ControlRow& row : controlTable()) {
    HWND child = row.parent != nullptr ? controlWindow(row.name) : nullptr;
    if (child == nullptr)
      continue;
    HWND& last = lastChildOf[GetParent(child)];
    if (GetWindow(child, GW_HWNDPREV) != last) {
      SetWindowPos(child, last != nullptr ? last : HWND_TOP, 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
    last = child;
  }
}

void LaunchWindow::startTimers() {
  const auto table = controlTable();
  for (std::size_t i = 0; i < table.size(); ++i) {
    if (table[i].kind == Kind::Timer && table[i].periodMs > 0) {
      SetTimer(window_, kFirstTimerId + i, static_cast<UINT>(table[i].periodMs), nullptr);
    }
  }
}

void LaunchWindow::show() {
  if (window_ == nullptr)
    return;
  shown_ = true;
  if (pendingShape_) {
    cutShapeFromPicture(pendingShape_->picture, pendingShape_->transparent);
    pendingShape_.reset();
  }
  ShowWindow(window_, SW_SHOWNORMAL);
  platform::win32::trace().mark("shown");
  UpdateWindow(window_);
  platform::win32::trace().mark("painted");
  // Before the message loop: no handler can run before they exist.
  createLateControls();
}

bool LaunchWindow::preTranslate(MSG& message) {
  if (window_ == nullptr)
    return false;
  if (message.message == WM_LBUTTONDOWN) {
    // No caption bar: the background and the passive controls move the window.
    if (message.hwnd == window_) {
      PostMessageW(window_, WM_NCLBUTTONDOWN, HTCAPTION, 0);
      return false;
    }
    const auto found = byWindow_.find(message.hwnd);
    if (found != byWindow_.end() && dragsWindow(found->second->row().kind)) {
      PostMessageW(window_, WM_NCLBUTTONDOWN, HTCAPTION, 0);
      return true;
    }
    return false;
  }
  if ((message.message == WM_KEYDOWN || message.message == WM_CHAR) && message.wParam == VK_TAB) {
    // No dialog runs this loop: the dialog manager still moves the focus
    // along the tab stops. Only Tab goes its way; Esc and Enter stay ours.
    return IsDialogMessageW(window_, &message) != 0;
  }
  if (message.message == WM_KEYDOWN && message.wParam == VK_ESCAPE) {
    // A control that wants Esc for itself (as an edit box may) keeps it.
    HWND focus = GetFocus();
    if (focus != nullptr && focus != window_) {
      const LRESULT wants =
          SendMessageW(focus, WM_GETDLGCODE, VK_ESCAPE, reinterpret_cast<LPARAM>(&message));
      if (wants & (DLGC_WANTALLKEYS | DLGC_WANTMESSAGE))
        return false;
    }
    SendMessageW(window_, WM_CLOSE, 0, 0);
    return true;
  }
  return false;
}

bool LaunchWindow::filterMessage(MSG& message) {
  return g_filteringWindow != nullptr && g_filteringWindow->preTranslate(message);
}

int LaunchWindow::runMessageLoop() {
  MSG message{};
  for (;;) {
    const BOOL got = GetMessageW(&message, nullptr, 0, 0);
    if (got == 0)
      return static_cast<int>(message.wParam);
    if (got == -1)
      return 0;
    platform::win32::dispatchMessage(message);
  }
}

void LaunchWindow::raise(std::string_view control, Event event, const EventArgs& args) {
  if (events_ != nullptr)
    events_->raise(control, event, args);
}

void LaunchWindow::assertWindowThread() const {
  assert(windowThread_ == 0 || GetCurrentThreadId() == windowThread_);
}

void LaunchWindow::paintBackground(HDC dc, const RECT& area) const {
  fillColour(dc, area, launchWindowProperties().background);
  if (background_.empty())
    return;
  // Tiled from the top-left: the picture's top rows repeat below it.
  for (int y = 0; y < area.bottom; y += background_.height) {
    for (int x = 0; x < area.right; x += background_.width) {
      drawImage(dc, background_, x, y);
    }
  }
}

LRESULT LaunchWindow::handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      const PaintScope paint(window_);
      if (const BufferedPaint buffer(window_, paint.dc()); buffer)
        paintBackground(buffer.dc(), buffer.area());
      return 0;
    }
    case WM_PRINTCLIENT: {
      RECT client{};
      GetClientRect(window_, &client);
      paintBackground(reinterpret_cast<HDC>(wParam), client);
      return 0;
    }
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC: {
      const auto found = byWindow_.find(reinterpret_cast<HWND>(lParam));
      if (found != byWindow_.end()) {
        if (HBRUSH brush = found->second->colours(reinterpret_cast<HDC>(wParam))) {
          return reinterpret_cast<LRESULT>(brush);
        }
      }
      break;
    }
    case WM_TIMER: {
      const auto table = controlTable();
      if (wParam >= kFirstTimerId && wParam - kFirstTimerId < table.size()) {
        raise(table[wParam - kFirstTimerId].name, Event::TimerTick, {});
        return 0;
      }
      break;
    }
    case WM_CLOSE:
      // The handler ends the program wherever the window's thread was, a
      // wait of a handler included; or, while an update changes the game
      // folder, it defers the close to the outcome, and the window stays
      // until then.
      raise(kWindow, Event::CloseRequested, {});
      return 0;
    case WM_DESTROY: {
      const auto table = controlTable();
      for (std::size_t i = 0; i < table.size(); ++i)
        KillTimer(window_, kFirstTimerId + i);
      if (!destroying_)
        PostQuitMessage(0);
      return 0;
    }
    default:
      break;
  }
  return DefWindowProcW(window_, message, wParam, lParam);
}

LRESULT CALLBACK LaunchWindow::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* self =
        static_cast<LaunchWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    self->window_ = window;
  }
  auto* self = reinterpret_cast<LaunchWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self == nullptr)
    return DefWindowProcW(window, message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    self->window_ = nullptr;
    self->byWindow_.clear();
    return DefWindowProcW(window, message, wParam, lParam);
  }
  return self->handle(message, wParam, lParam);
}

}  // namespace ui::win32
