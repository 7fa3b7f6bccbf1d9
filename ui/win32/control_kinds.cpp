#include "ui/win32/control_kinds.h"

#include "ui/win32/animation_box.h"
#include "ui/win32/backdrop.h"
#include "ui/win32/colour_button.h"
#include "ui/win32/edit_box.h"
#include "ui/win32/label.h"
#include "ui/win32/picture_box.h"
#include "ui/win32/picture_button.h"
#include "ui/win32/progress_bar.h"
#include "ui/win32/records.h"
#include "ui/win32/transparent_label.h"

namespace ui::win32 {

std::unique_ptr<Control> makeControl(const ControlRow& row, EventSink& events) {
  switch (row.kind) {
    case Kind::PictureBox:
      return std::make_unique<PictureBox>(row, events);
    case Kind::PictureButton:
      return std::make_unique<PictureButton>(row, events);
    case Kind::ColourButton:
      return std::make_unique<ColourButton>(row, events);
    case Kind::Label:
      return std::make_unique<Label>(row, events);
    case Kind::TransparentLabel:
      return std::make_unique<TransparentLabel>(row, events);
    case Kind::EditBox:
      return std::make_unique<EditBox>(row, events);
    case Kind::ProgressBar:
      return std::make_unique<ProgressBar>(row, events);
    case Kind::AnimationBox:
      return std::make_unique<AnimationBox>(row, events);
    case Kind::AnimationObject:
      return std::make_unique<AnimationObject>(row, events);
    case Kind::Timer:
    case Kind::ZipObject:
      return std::make_unique<Record>(row, events);
  }
  return std::make_unique<Record>(row, events);
}

std::vector<WindowClass> registerControlClasses(HINSTANCE instance) {
  // No CS_DBLCLKS: every press of a quick double press is a press of its own.
  const char* const names[] = {kPictureBoxClass, kPictureButtonClass,    kColourButtonClass,
                               kLabelClass,      kTransparentLabelClass, kAnimationBoxClass};
  std::vector<WindowClass> classes;
  for (const char* name : names) {
    WNDCLASSEXW description{};
    description.cbSize = sizeof description;
    description.lpfnWndProc = &CustomControl::windowProc;
    description.hInstance = instance;
    description.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    description.hbrBackground = nullptr;
    classes.emplace_back(description, name);
  }
  return classes;
}

}  // namespace ui::win32
