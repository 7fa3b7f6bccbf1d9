#include "core/links.h"

namespace core {

void openLink(ui::Controls& controls, platform::Shell& shell, const ConfigFile& config,
              const ui::LinkLabel& link) {
  // The grey shows while the shell works, so the label is redrawn at once.
  controls.setCaptionColour(link.label, ui::kLinkOpeningColour);
  shell.open(readConfigValue(config, "http", link.key));
  controls.setCaptionColour(link.label, link.afterOpening);
}

}  // namespace core
