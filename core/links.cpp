#include "core/links.h"

#include "core/config.h"

namespace core {

void openLink(Context& ctx, const ui::LinkLabel& link) {
  // The grey shows while the shell works, so the label is redrawn at once.
  ctx.controls->setCaptionColour(link.label, ui::kLinkOpeningColour);
  ctx.os.shell->open(readConfigValue(ctx.os, "http", link.key));
  ctx.controls->setCaptionColour(link.label, link.afterOpening);
}

}  // namespace core
