#include "ui/chrome.h"

#include "core/program.h"

namespace ui {

void onMinimiseClicked(const EventArgs&) {
  core::context().controls->minimiseWindow();
}

void onCloseClicked(const EventArgs&) {
  core::endProgram();
}

}  // namespace ui
