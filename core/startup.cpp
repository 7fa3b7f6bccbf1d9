#include "core/startup.h"

#include "base/cp936.h"
#include "base/path.h"
#include "core/config.h"
#include "core/messages.h"
#include "core/picture_file.h"
#include "ui/control_names.h"

namespace core {
namespace {

constexpr char kLogoRelativePath[] = "/tavoro/icos1.png";
constexpr char kConfigCheckPath[] = "/tavoro/tavoroConfig.ini";
constexpr int kCornerEllipse = 15;
constexpr ui::Colorref kShapeTransparentColour = 0xFFFFFF;

}  // namespace

std::string derivedInstanceName(const std::string& runDirectory, const std::string& executable) {
  std::string name = base::joinPath(runDirectory, executable);
  // The second byte of a two-byte character may be 0x5C without being "\".
  base::forEachCharacter(name, [&name](std::size_t i, std::size_t width) {
    if (width == 1 && name[i] == '\\')
      name[i] = '/';
  });
  return name;
}

std::string instanceName(Context& ctx) {
  const std::string configured = readConfigValue(ctx.os, "url", "bh1");
  return configured.empty()
             ? derivedInstanceName(ctx.os.process->runDirectory(), ctx.os.process->executableName())
             : configured;
}

std::string shownSignalName(const std::string& runDirectory, const std::string& executable) {
  return "tavoro-shown:" + base::lowerAscii(derivedInstanceName(runDirectory, executable));
}

void announceWindowShown(Context& ctx) {
  // Held until the process ends: a launcher that asks later still sees it.
  ctx.os.namedEvents->createMarker(
      shownSignalName(ctx.os.process->runDirectory(), ctx.os.process->executableName()));
}

void singleInstanceGuard(Context& ctx, const std::string& instanceName, const std::string& message,
                         unsigned flags) {
  platform::Services& os = ctx.os;
  const std::string name = instanceName.empty() ? derivedInstanceName(os.process->runDirectory(),
                                                                      os.process->executableName())
                                                : instanceName;
  // A marker that cannot be created leaves the launcher without the guard.
  if (os.namedEvents->createMarker(name) == platform::NamedEvents::Marker::kAlreadyExisted) {
    os.messageBoxes->show(message, flags, kSecondCopyTitle);
    endProgram(ctx);
  }
}

void onLaunchWindowCreated(Context& ctx, SlideshowState& slideshow, SlideshowThread& thread,
                           const std::function<void()>& afterGuard) {
  ui::Controls& controls = *ctx.controls;
  const std::string runDir = ctx.os.process->runDirectory();

  controls.shapeWindowFromPicture(controls.windowBackgroundPicture(), kShapeTransparentColour);

  singleInstanceGuard(ctx, readConfigValue(ctx.os, "url", "bh1"), kSecondCopyMessage,
                      kSecondCopyFlags);
  if (afterGuard)
    afterGuard();

  controls.setPicture(ui::name::kLogo, readPictureFile(*ctx.os.files, runDir + kLogoRelativePath));

  if (!ctx.os.files->exists(runDir + kConfigCheckPath)) {
    ctx.os.messageBoxes->show(kMissingFileMessage, kMissingFileFlags, kMissingFileTitle);
    endProgram(ctx);
  }

  controls.setText(ui::name::kGameName, readConfigValue(ctx.os, "name", "name1"));
  controls.setText(ui::name::kGameLanguage, "游戏语言:" + readConfigValue(ctx.os, "name", "name2"));
  controls.setText(ui::name::kGameDevices, "游戏支持:" + readConfigValue(ctx.os, "url", "url1"));

  controls.roundWindowCorners(kCornerEllipse, kCornerEllipse);

  // The overlay covers the whole slideshow box and fades the previous picture.
  controls.setHeight(ui::name::kSlideTemplate, controls.height(ui::name::kSlideshow));
  controls.setWidth(ui::name::kSlideTemplate, controls.width(ui::name::kSlideshow));
  slideshow.overlay =
      controls.createLayer(ui::name::kSlideshow, ui::name::kSlideTemplate, 0, 0, true);

  // Last: the thread reads the overlay id stored just above.
  thread.start();
}

}  // namespace core
