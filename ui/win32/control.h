#pragma once

// The record behind each control of the Launch window. Most kinds are child
// windows; the animation object, the timer and the ZIP object are records
// only. The Launch window reaches every kind through this one interface;
// operations that make no sense for a kind do nothing.

#include <windows.h>

#include <functional>
#include <string>
#include <string_view>

#include "base/bytes.h"
#include "ui/control_table.h"
#include "ui/events.h"
#include "ui/image.h"

namespace ui::win32 {

// Posted to a control's window: run its feedback event with (wParam, lParam).
inline constexpr UINT kNoticeMessage = WM_APP + 0x40;

// The bytes of a picture the launcher carries, by resource name; empty
// when there is none.
using PictureSource = std::function<base::Bytes(const char* name)>;
// The same picture decoded; empty when there is none or it does not decode.
using DecodedPictureSource = std::function<Image(const char* name)>;

class Control {
 public:
  Control(const ControlRow& row, EventSink& events) : row_(row), events_(events) {}
  virtual ~Control() = default;
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;

  const ControlRow& row() const { return row_; }
  // Null for the kinds that are no window.
  HWND window() const { return window_; }

  // Creates the control's window as a child of `parent`, at the table's
  // place and size, hidden; the Launch window shows it afterwards.
  virtual bool create(HWND parent, HINSTANCE instance) = 0;
  // Loads the pictures the table gives the control; a missing or
  // undecodable picture leaves the control without it.
  virtual void loadTablePictures(const DecodedPictureSource&) {}

  // Caption or content; the window text for the kinds that have one.
  virtual std::string text() const;
  virtual void setText(std::string_view text);

  virtual void setEnabled(bool enabled);
  virtual bool isEnabled() const;
  virtual void setCaptionColour(Colorref) {}
  virtual Colorref captionColour() const { return row_.caption; }
  // Bytes that cannot be decoded leave the control without a picture.
  virtual void setPicture(const base::Bytes&) {}
  virtual void setPosition(int) {}
  virtual int position() const { return 0; }

  virtual int width() const;
  virtual int height() const;
  virtual void setWidth(int width);
  virtual void setHeight(int height);

  // Colours for edit boxes, asked through WM_CTLCOLOR*; null: the default.
  virtual HBRUSH colours(HDC) { return nullptr; }

 protected:
  void dispatch(Event event, const EventArgs& args = {}) { events_.raise(row_.name, event, args); }
  void setWindow(HWND window) { window_ = window; }
  // Position relative to the parent's client area, from the table.
  DWORD childStyle() const;

 private:
  const ControlRow& row_;
  EventSink& events_;
  HWND window_ = nullptr;
};

// A control with a window class of this launcher's own. Its window
// procedure reaches the object through GWLP_USERDATA.
class CustomControl : public Control {
 public:
  // `windowClass` is one of registerControlClasses(); `extraStyle` joins
  // the style every child window has.
  CustomControl(const ControlRow& row, EventSink& events, const char* windowClass,
                DWORD extraStyle = 0)
      : Control(row, events), windowClass_(windowClass), extraStyle_(extraStyle) {}
  ~CustomControl() override;

  bool create(HWND parent, HINSTANCE instance) override;

 protected:
  // Messages of the window; the default answers notices, fonts and
  // WM_PRINTCLIENT (through paint) and passes the rest to DefWindowProcA.
  virtual LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
  virtual void paint(HDC dc) = 0;
  HFONT font() const { return font_; }

 public:
  static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

 private:
  const char* const windowClass_;
  const DWORD extraStyle_;
  HFONT font_ = nullptr;
};

// A control of a system window class (EDIT, the progress bar), subclassed
// so that it answers notices like the others.
class StandardControl : public Control {
 public:
  using Control::Control;
  ~StandardControl() override;

 protected:
  bool createWindow(HWND parent, HINSTANCE instance, const char* className, DWORD extraStyle,
                    DWORD extendedStyle);

 private:
  static LRESULT CALLBACK subclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                       UINT_PTR id, DWORD_PTR self);
};

}  // namespace ui::win32
