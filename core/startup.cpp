#include "core/startup.h"

#include "core/config.h"
#include "core/messages.h"
#include "core/program.h"
#include "core/slideshow.h"
#include "core/state.h"
#include "ui/control_names.h"

namespace core {
namespace {

constexpr char kLogoRelativePath[] = "/tavoro/icos1.png";
constexpr char kConfigCheckPath[] = "/tavoro/tavoroConfig.ini";
constexpr int kCornerEllipse = 15;
constexpr ui::Colorref kShapeTransparentColour = 0xFFFFFF;

}  // namespace

std::string derivedInstanceName(const std::string& runDirectory, const std::string& executable) {
  std::string name = runDirectory + "\\" + executable;
  for (std::size_t i = 0; i < name.size(); ++i) {
    // The second byte of a two-byte character may be 0x5C without being "\".
    if (static_cast<unsigned char>(name[i]) >= 0x80) {
      ++i;
    } else if (name[i] == '\\') {
      name[i] = '/';
    }
  }
  return name;
}

void singleInstanceGuard(const std::string& instanceName, const std::string& message,
                         unsigned flags) {
  platform::Services& os = context().os;
  const std::string name = instanceName.empty() ? derivedInstanceName(os.process->runDirectory(),
                                                                      os.process->executableName())
                                                : instanceName;
  if (os.namedEvents->exists(name)) {
    os.messageBoxes->show(message, flags, kSecondCopyTitle);
    endProgram();
  }
  // A marker that cannot be created leaves the launcher without the guard.
  os.namedEvents->create(name);
}

void onLaunchWindowCreated(const ui::EventArgs&) {
  Context& ctx = context();
  ui::Controls& controls = *ctx.controls;
  const std::string runDir = ctx.os.process->runDirectory();

  controls.shapeWindowFromPicture(controls.windowBackgroundPicture(), kShapeTransparentColour);

  singleInstanceGuard(readConfigValue("url", "bh1"), kSecondCopyMessage, kSecondCopyFlags);

  controls.setPicture(ui::name::kLogo, ctx.os.files->readAll(runDir + kLogoRelativePath));

  if (!ctx.os.files->exists(runDir + kConfigCheckPath)) {
    ctx.os.messageBoxes->show(kMissingFileMessage, kMissingFileFlags, kMissingFileTitle);
    endProgram();
  }

  controls.setText(ui::name::kGameName, readConfigValue("name", "name1"));
  controls.setText(ui::name::kGameLanguage, "游戏语言:" + readConfigValue("name", "name2"));
  controls.setText(ui::name::kGameDevices, "游戏支持:" + readConfigValue("url", "url1"));

  controls.roundWindowCorners(kCornerEllipse, kCornerEllipse);

  // The overlay covers the whole slideshow box and fades the previous picture.
  controls.setHeight(ui::name::kSlideTemplate, controls.height(ui::name::kSlideshow));
  controls.setWidth(ui::name::kSlideTemplate, controls.width(ui::name::kSlideshow));
  programState().slideshowOverlay =
      controls.createLayer(ui::name::kSlideshow, ui::name::kSlideTemplate, 0, 0, true);

  // Last: the thread reads the overlay id stored just above.
  startSlideshowThread();
}

}  // namespace core
