#pragma once

// The operations the launcher's logic performs on the Launch window's
// controls, each taking the control by its name. ui/win32 implements them on
// real windows; ControlModel keeps them in memory for tests.
//
// Threads: the operations of Controls belong to the window's thread (in
// debug builds a call from another thread fails an assertion), because the
// real ones send to the controls' windows and a send from another thread
// would wait for the window's thread, which may itself be waiting for that
// thread at exit. The operations of AnimationBoxes and Notices never wait
// for the window's thread; any thread may call them.

#include <string>
#include <string_view>

#include "base/bytes.h"
#include "base/values.h"

namespace ui {

using base::Colorref;

// The animation box: the slideshow works it from a thread of its own.
class AnimationBoxes {
 public:
  virtual ~AnimationBoxes() = default;
  // The box's background; PNG, JPEG or BMP bytes (undecodable: none).
  virtual void setBoxPicture(std::string_view box, const base::Bytes& picture) = 0;
  virtual int boxWidth(std::string_view box) const = 0;
  virtual int boxHeight(std::string_view box) const = 0;
  // Transparency 0 shows the layer opaque, 100 hides it.
  virtual void setLayerTransparency(std::string_view box, int layer, int percent) = 0;
  // The box's visible content in that rectangle, clipped to the box, as the
  // bytes of a 32-bit BMP file.
  virtual base::Bytes captureArea(std::string_view box, int x, int y, int width, int height) = 0;
  virtual void setLayerPicture(std::string_view box, int layer, const base::Bytes& picture) = 0;
};

class Notices {
 public:
  virtual ~Notices() = default;
  // Queues the control's feedback event with two integers and returns at
  // once; the handler runs later on the window's thread, in posting order.
  virtual void postNotice(std::string_view name, int first, int second) = 0;
};

class Controls : public AnimationBoxes, public Notices {
 public:
  // Caption of a label or transparent label, content of an edit box.
  virtual std::string text(std::string_view name) const = 0;
  virtual void setText(std::string_view name, std::string_view text) = 0;

  virtual void setVisible(std::string_view name, bool visible) = 0;
  virtual bool isVisible(std::string_view name) const = 0;
  // A disabled picture button ignores clicks.
  virtual void setEnabled(std::string_view name, bool enabled) = 0;
  virtual bool isEnabled(std::string_view name) const = 0;
  // Transparent labels: redraws the caption in that colour at once.
  virtual void setCaptionColour(std::string_view name, Colorref colour) = 0;
  virtual Colorref captionColour(std::string_view name) const = 0;

  // Picture box or animation box (its background); PNG, JPEG or BMP bytes.
  // Bytes that cannot be decoded leave the box without a picture.
  virtual void setPicture(std::string_view name, const base::Bytes& picture) = 0;

  virtual int width(std::string_view name) const = 0;
  virtual int height(std::string_view name) const = 0;
  virtual void setWidth(std::string_view name, int width) = 0;
  virtual void setHeight(std::string_view name, int height) = 0;

  // Progress bar position, 0 to 100 (values outside are limited by the bar).
  virtual void setPosition(std::string_view name, int position) = 0;
  virtual int position(std::string_view name) const = 0;

  // A layer of the animation box, sized after the template object.
  virtual int createLayer(std::string_view box, std::string_view templateObject, int x, int y,
                          bool visible) = 0;
};

}  // namespace ui

// The overrides every implementation of Controls declares (the real window
// in ui/win32, the model in ui/host), written once beside the interface.
#define TAVORO_UI_CONTROLS_OVERRIDES                                                           \
  std::string text(std::string_view name) const override;                                      \
  void setText(std::string_view name, std::string_view text) override;                         \
  void setVisible(std::string_view name, bool visible) override;                               \
  bool isVisible(std::string_view name) const override;                                        \
  void setEnabled(std::string_view name, bool enabled) override;                               \
  bool isEnabled(std::string_view name) const override;                                        \
  void setCaptionColour(std::string_view name, Colorref colour) override;                      \
  Colorref captionColour(std::string_view name) const override;                                \
  void setPicture(std::string_view name, const base::Bytes& picture) override;                 \
  void setBoxPicture(std::string_view box, const base::Bytes& picture) override;               \
  int boxWidth(std::string_view box) const override;                                           \
  int boxHeight(std::string_view box) const override;                                          \
  int width(std::string_view name) const override;                                             \
  int height(std::string_view name) const override;                                            \
  void setWidth(std::string_view name, int width) override;                                    \
  void setHeight(std::string_view name, int height) override;                                  \
  void setPosition(std::string_view name, int position) override;                              \
  int position(std::string_view name) const override;                                          \
  int createLayer(std::string_view box, std::string_view templateObject, int x, int y,         \
                  bool visible) override;                                                      \
  void setLayerTransparency(std::string_view box, int layer, int percent) override;            \
  base::Bytes captureArea(std::string_view box, int x, int y, int width, int height) override; \
  void setLayerPicture(std::string_view box, int layer, const base::Bytes& picture) override;  \
  void postNotice(std::string_view name, int first, int second) override;
