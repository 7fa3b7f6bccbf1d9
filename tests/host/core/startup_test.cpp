#include "core/startup.h"
#include "core/messages.h"
#include "core/slideshow.h"
#include "picture_support.h"
#include "test_support.h"
#include "ui/control_names.h"
#include "ui/image.h"

namespace {

using platform::host::ProgramEnded;
using testing_support::LauncherTest;
using testing_support::solidImage;

class StartupTest : public LauncherTest {
 protected:
  void SetUp() override {
    LauncherTest::SetUp();
    window.setWindowBackgroundPicture(ui::encodeBmp(solidImage(4, 4, 0xFFFFFDFD)));
  }

  std::string ownInstanceName() const {
    return core::derivedInstanceName(os.process.directory, os.process.executable);
  }

  void writeLogo() {
    const base::Bytes bmp = ui::encodeBmp(solidImage(8, 8, 0xFF00FF00));
    writeFile("tavoro/icos1.png", std::string(bmp.begin(), bmp.end()));
  }
};

TEST(DerivedInstanceName, IsTheLaunchersPathWithForwardSlashes) {
  EXPECT_EQ(core::derivedInstanceName("C:\\Games\\Ride", "Launcher.exe"),
            "C:/Games/Ride/Launcher.exe");
  // 螺 (C2 DD) and a character whose second byte is 0x5C stay whole.
  EXPECT_EQ(core::derivedInstanceName("D:\\\xC2\x5C\\x", "a.exe"), "D:/\xC2\x5C/x/a.exe");
}

TEST_F(StartupTest, FillsTheLabelsRoundsTheWindowAndPreparesTheOverlay) {
  writeConfig(
      "[name]\r\nname1=\xD0\xC7\xBA\xA3VR\r\nname2=\xBC\xF2\xCC\xE5\xD6\xD0\xCE\xC4\r\n"
      "[url]\r\nurl1=Vive\r\n");
  writeLogo();
  launcher->raise(ui::kWindow, ui::Event::Created, {});

  EXPECT_EQ(controls.text(ui::name::kGameName), "\xD0\xC7\xBA\xA3VR");
  EXPECT_EQ(controls.text(ui::name::kGameLanguage), "游戏语言:\xBC\xF2\xCC\xE5\xD6\xD0\xCE\xC4");
  EXPECT_EQ(controls.text(ui::name::kGameDevices), "游戏支持:Vive");
  EXPECT_EQ(controls.state(ui::name::kLogo).picture.width, 8);
  EXPECT_EQ(window.shapeCalls(), (std::vector<std::string>{"picture", "round 15x15"}));
  EXPECT_EQ(controls.width(ui::name::kSlideTemplate), 402);
  EXPECT_EQ(controls.height(ui::name::kSlideTemplate), 224);
  EXPECT_EQ(state().slideshow.overlay, 1);
  const ui::AnimationScene& scene = controls.state(ui::name::kSlideshow).scene;
  ASSERT_EQ(scene.layers.size(), 1u);
  EXPECT_EQ(scene.layers[0].width, 402);
  EXPECT_TRUE(scene.layers[0].visible);
  EXPECT_TRUE(os.namedEvents.names.count(ownInstanceName()));
  EXPECT_TRUE(os.messageBoxes.calls.empty());
  EXPECT_TRUE(launcher->slideshow().running()) << "started as the last step";
}

TEST_F(StartupTest, UsesOnlyTheControlsOfTheFirstFrame) {
  // The others are made after the window is first shown: touching one throws.
  controls.setFirstFrameOnly(true);
  writeConfig("[name]\r\nname1=Ride\r\n[url]\r\nurl1=Vive\r\n");
  writeLogo();
  launcher->raise(ui::kWindow, ui::Event::Created, {});
  EXPECT_EQ(controls.text(ui::name::kGameName), "Ride");
  EXPECT_EQ(state().slideshow.overlay, 1);
  EXPECT_TRUE(launcher->slideshow().running());
}

TEST_F(StartupTest, ASecondCopyOnlySeesTheGuardsMessageEvenWithoutConfiguration) {
  os.namedEvents.names.insert(ownInstanceName());
  writeLogo();
  EXPECT_THROW(launcher->raise(ui::kWindow, ui::Event::Created, {}), ProgramEnded);
  ASSERT_EQ(os.messageBoxes.calls.size(), 1u);
  EXPECT_EQ(os.messageBoxes.calls[0].text, core::kSecondCopyMessage);
  EXPECT_EQ(os.messageBoxes.calls[0].title, "友情提醒:");
  EXPECT_EQ(os.messageBoxes.calls[0].flags, 64u);
  EXPECT_EQ(os.process.exitCodes, std::vector<int>{0});
  EXPECT_TRUE(exitCleanupHasRun());
  // The shape came first; nothing after the guard ran.
  EXPECT_EQ(window.shapeCalls(), std::vector<std::string>{"picture"});
  EXPECT_TRUE(controls.state(ui::name::kLogo).picture.empty());
  EXPECT_EQ(controls.text(ui::name::kGameName), "0000000000");
}

TEST_F(StartupTest, TheInstanceNameComesFromBh1WhenGiven) {
  writeConfig("[url]\nbh1=shared-name\n");
  os.namedEvents.names.insert("shared-name");
  EXPECT_THROW(launcher->raise(ui::kWindow, ui::Event::Created, {}), ProgramEnded);
  EXPECT_EQ(os.namedEvents.opened, std::vector<std::string>{"shared-name"});
}

TEST_F(StartupTest, AMissingConfigurationStopsAfterTheLogo) {
  writeLogo();
  EXPECT_THROW(launcher->raise(ui::kWindow, ui::Event::Created, {}), ProgramEnded);
  ASSERT_EQ(os.messageBoxes.calls.size(), 1u);
  EXPECT_EQ(os.messageBoxes.calls[0].text,
            "无法找到游戏配置表文件\r\n请重新解压游戏,或（塔沃VR社区）求助.");
  EXPECT_EQ(os.messageBoxes.calls[0].title, "提示");
  EXPECT_EQ(os.messageBoxes.calls[0].flags, 0x10030u);
  EXPECT_EQ(controls.state(ui::name::kLogo).picture.width, 8);
  EXPECT_EQ(controls.text(ui::name::kGameLanguage), "游戏语言：");
  EXPECT_EQ(window.shapeCalls(), std::vector<std::string>{"picture"});
  EXPECT_EQ(state().slideshow.overlay, 0);
  EXPECT_FALSE(launcher->slideshow().running());
  EXPECT_EQ(os.process.exitCodes, std::vector<int>{0});
}

TEST_F(StartupTest, EmptySectionsNoLogoAndNoMarkerStillOpenTheWindow) {
  writeConfig("; nothing but a comment\r\n");
  writeFile("tavoro/icos1.png", "not a picture");
  os.namedEvents.canCreate = false;
  launcher->raise(ui::kWindow, ui::Event::Created, {});
  EXPECT_EQ(controls.text(ui::name::kGameName), "");
  EXPECT_EQ(controls.text(ui::name::kGameLanguage), "游戏语言:");
  EXPECT_EQ(controls.text(ui::name::kGameDevices), "游戏支持:");
  EXPECT_TRUE(controls.state(ui::name::kLogo).picture.empty());
  EXPECT_TRUE(os.messageBoxes.calls.empty());
  EXPECT_TRUE(os.process.exitCodes.empty());
}

TEST_F(StartupTest, WithoutAHookAfterTheGuardTheWindowStillOpens) {
  writeConfig("[name]\r\nname1=Ride\r\n");
  core::Context& c = ctx();
  const core::WindowStartup startup{*c.controls,       *c.window,          c.os,      *c.os.files,
                                    *c.os.namedEvents, *c.os.messageBoxes, c.ending()};
  core::onLaunchWindowCreated(startup, state().slideshow, launcher->slideshow());
  EXPECT_EQ(controls.text(ui::name::kGameName), "Ride");
  EXPECT_TRUE(launcher->slideshow().running());
}

}  // namespace
