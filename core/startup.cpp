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

std::string instanceName(const ConfigFile& config) {
  const std::string configured = readConfigValue(config, "url", "bh1");
  return configured.empty()
             ? derivedInstanceName(config.process.runDirectory(), config.process.executableName())
             : configured;
}

std::string shownSignalName(const std::string& runDirectory, const std::string& executable) {
  return "tavoro-shown:" + base::lowerAscii(derivedInstanceName(runDirectory, executable));
}

void announceWindowShown(platform::NamedEvents& namedEvents, platform::Process& process) {
  // Held until the process ends: a launcher that asks later still sees it.
  namedEvents.createMarker(shownSignalName(process.runDirectory(), process.executableName()));
}

void singleInstanceGuard(platform::NamedEvents& namedEvents, platform::MessageBoxes& messageBoxes,
                         const ProgramEnd& end, const std::string& instanceName,
                         const std::string& message, unsigned flags) {
  const std::string name = instanceName.empty() ? derivedInstanceName(end.process.runDirectory(),
                                                                      end.process.executableName())
                                                : instanceName;
  // A marker that cannot be created leaves the launcher without the guard.
  if (namedEvents.createMarker(name) == platform::NamedEvents::Marker::kAlreadyExisted) {
    messageBoxes.show(message, flags, kSecondCopyTitle);
    endProgram(end);
  }
}

void onLaunchWindowCreated(const WindowStartup& use, SlideshowState& slideshow,
                           SlideshowThread& thread, const std::function<void()>& afterGuard) {
  ui::Controls& controls = use.controls;
  const std::string runDir = use.config.process.runDirectory();

  use.window.shapeWindowFromPicture(use.window.windowBackgroundPicture(), kShapeTransparentColour);

  singleInstanceGuard(use.namedEvents, use.messageBoxes, use.end,
                      readConfigValue(use.config, "url", "bh1"), kSecondCopyMessage,
                      kSecondCopyFlags);
  if (afterGuard)
    afterGuard();

  controls.setPicture(ui::name::kLogo, readPictureFile(use.files, runDir + kLogoRelativePath));

  if (!use.files.exists(runDir + kConfigCheckPath)) {
    use.messageBoxes.show(kMissingFileMessage, kMissingFileFlags, kMissingFileTitle);
    endProgram(use.end);
  }

  controls.setText(ui::name::kGameName, readConfigValue(use.config, "name", "name1"));
  controls.setText(ui::name::kGameLanguage,
                   "游戏语言:" + readConfigValue(use.config, "name", "name2"));
  controls.setText(ui::name::kGameDevices,
                   "游戏支持:" + readConfigValue(use.config, "url", "url1"));

  use.window.roundWindowCorners(kCornerEllipse, kCornerEllipse);

  // The overlay covers the whole slideshow box and fades the previous picture.
  controls.setHeight(ui::name::kSlideTemplate, controls.height(ui::name::kSlideshow));
  controls.setWidth(ui::name::kSlideTemplate, controls.width(ui::name::kSlideshow));
  slideshow.overlay =
      controls.createLayer(ui::name::kSlideshow, ui::name::kSlideTemplate, 0, 0, true);

  // Last: the thread reads the overlay id stored just above.
  thread.start();
}

}  // namespace core
