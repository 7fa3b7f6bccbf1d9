#pragma once

// Makes the record for each kind of the control table, and registers the
// window classes of the kinds this launcher draws itself.

#include <memory>
#include <vector>

#include "ui/win32/control.h"
#include "ui/win32/window_class.h"

namespace ui::win32 {

std::unique_ptr<Control> makeControl(const ControlRow& row, EventSink& events);

// The classes stay registered while the returned objects live.
std::vector<WindowClass> registerControlClasses(HINSTANCE instance);

}  // namespace ui::win32
