#include "update/version.h"
#include "loopback_server.h"
#include "test_support.h"
#include "ui/control_names.h"
#include "update/package/release_signature.h"
#include "update/update_flow.h"

namespace {

using testing_support::LauncherTest;
using testing_support::LoopbackServer;

std::string page(const std::string& utf8Body) {
  return "HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8\r\nContent-Length: " +
         std::to_string(utf8Body.size()) + "\r\n\r\n" + utf8Body;
}

// The version page as publishers write it, in UTF-8.
const char kPage51[] =
    "<html><body><p>\xE6\x9C\x80\xE6\x96\xB0\xE7\x89\x88\xE6\x9C\xAC=5.1</p>"  // 最新版本=
    "<p>\xE7\xA8\x8B\xE5\xBA\x8F\xE6\xA0\x87\xE9\xA2\x98=NewLauncher.exe</p>"  // 程序标题=
    "<p>\xE6\x9B\xB4\xE6\x96\xB0\xE8\xAF\xB4\xE6\x98\x8E"
    "1=fix one</p>"                                                              // 更新说明1=
    "<p>\xE6\x9B\xB4\xE6\x96\xB0\xE8\xAF\xB4\xE6\x98\x8E=\xE6\x96\xB0 desc</p>"  // 更新说明=新
    "<p>\xE6\x9B\xB4\xE6\x96\xB0\xE5\x9C\xB0\xE5\x9D\x80=http://127.0.0.1:1/pkg.zip</p>"  // 更新地址=
    "<p>\xE6\x9C\x80\xE6\x96\xB0\xE7\x89\x88\xE6\x9C\xAC=9.9</p>"  // second one
    "</body></html>";

class VersionTest : public LauncherTest {
 protected:
  LoopbackServer server;
  std::string address() const { return server.base() + "/version.html"; }
  // A start click whose game start is left out: the check alone.
  void checkVersion(const std::string& page) {
    launcher->updateFlow().onStartClicked(page, [] {});
  }
};

// Each row: whether `published` sorts after `local` for this launcher
// (numbers compared by number) and for a launcher of the earlier kind,
// which players may still have (text, byte by byte).
TEST(VersionOrder, NumbersCompareByNumberAndOtherTextAsText) {
  struct Row {
    const char* published;
    const char* local;
    bool after;
    bool afterAsText;
  };
  const Row rows[] = {
      {"5.1", "5.0", true, true},
      {"5.0.1", "5.0", true, true},
      {"5.0", "5.0", false, false},
      {"5.0", "5.0.1", false, false},
      {"5.10", "5.9", true, false},
      {"5.9", "5.10", false, true},
      {"10.0", "9.9", true, false},
      {"10.0", "5.0", true, false},
      {"9.9", "10.0", false, true},
      {"5.09", "5.9", false, false},  // the same number
      {"5.9", "5.09", false, true},
      {"5.09", "5.8", true, false},
      {"05.1", "5.0", true, false},
      {"5.0.0", "5.0", true, true},  // longer after equal parts, as text
      {"6", "5.99", true, true},
      {"100000000000000000000.1", "99999999999999999999.9", true, false},  // past 64 bits
      {"00000000000000000000002", "3", false, false},
      {"\xB0\xE6", "5.0", true, true},  // bytes compare unsigned
      {" 5.1", "5.0", false, false},    // not a number: text
      {"5.1 ", "5.0", true, true},
      {"5.10a", "5.9", false, false},
      {"5..1", "5.0", false, false},
      {"5.1.", "5.1", true, true},
      {".5", "5.0", false, false},
      {"v10", "v9", false, false},
      {"", "5.0", false, false},
      {"5.0", "", true, true},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(update::sortsAfter(row.published, row.local), row.after)
        << row.published << " after " << row.local;
    EXPECT_EQ(update::sortsAfterAsText(row.published, row.local), row.afterAsText)
        << row.published << " after " << row.local << " as text";
  }
}

TEST(VersionOrder, NumberedVersionsAreDigitsJoinedBySingleDots) {
  for (const char* numbered : {"5", "5.0", "10.0.3", "007.08"})
    EXPECT_TRUE(update::isNumberedVersion(numbered)) << numbered;
  for (const char* other : {"", ".", "5.", ".5", "5..0", "5.0a", " 5.0", "5,0", "\xA3\xB5"})
    EXPECT_FALSE(update::isNumberedVersion(other)) << other;
}

TEST_F(VersionTest, FillsTheFieldsAndAsksWhenNewer) {
  server.respond("/version.html", page(kPage51));
  os.messageBoxes.answers = {7};  // No
  checkVersion(address());

  const update::UpdateState& state = updateState();
  EXPECT_EQ(state.versionFields[update::kLatestVersion], "5.1") << "first occurrence";
  EXPECT_EQ(state.versionFields[update::kUpdateAddress], "http://127.0.0.1:1/pkg.zip");
  EXPECT_EQ(controls.text(ui::name::kPublishedVersion), "5.1");
  EXPECT_EQ(controls.text(ui::name::kUpdateTitle), "NewLauncher.exe");
  EXPECT_EQ(controls.text(ui::name::kUpdateDescription), "新 desc");
  EXPECT_EQ(controls.text(ui::name::kUpdateNote1), "fix one");
  EXPECT_EQ(controls.text(ui::name::kUpdateNote2), "");
  EXPECT_EQ(controls.text(ui::name::kLocalVersion), "5.0");
  EXPECT_EQ(controls.text(ui::name::kUpdateNotes),
            std::string(22, ' ') + "NewLauncher.exe\r\n新 desc\r\nfix one\r\n\r\n\r\n\r\n");
  ASSERT_EQ(os.messageBoxes.calls.size(), 1u);
  EXPECT_EQ(os.messageBoxes.calls[0].text, "发现新版本,请问是否更新？");
  EXPECT_EQ(os.messageBoxes.calls[0].title, " 软件更新提示");
  EXPECT_EQ(os.messageBoxes.calls[0].flags, 4u);
  // No: nothing shown, the start button stays enabled.
  EXPECT_FALSE(controls.isVisible(ui::name::kUpdateNotes));
  EXPECT_TRUE(controls.isEnabled(ui::name::kStartButton));
  EXPECT_TRUE(os.pump.delays.empty());
  // The flow's way, as a test build's trace has it.
  EXPECT_EQ(os.trace.notes,
            (std::vector<std::string>{"update: phase checking", "update: phase asking",
                                      "update: phase idle"}));
}

// Every field of the page, each with a value of its own: each lands in its
// own control and its own place of the program-wide fields.
TEST_F(VersionTest, EachFieldLandsInItsOwnPlace) {
  const char8_t* markers[] = {u8"最新版本=",  u8"程序标题=",   u8"更新说明=",   u8"更新说明1=",
                              u8"更新说明2=", u8"更新说明3=",  u8"更新说明4=",  u8"更新说明5=",
                              u8"更新地址=",  u8"更新包大小=", u8"更新包摘要=", u8"更新签名=",
                              u8"更新签名2=", u8"解压大小=",   u8"更新清单=",   u8"更新签名3="};
  static_assert(std::size(markers) == update::kVersionFieldCount);
  std::string body;
  for (std::size_t i = 0; i < std::size(markers); ++i)
    body += "<p>" + std::string(reinterpret_cast<const char*>(markers[i])) + "v" +
            std::to_string(i) + "</p>";
  server.respond("/version.html", page(body));
  checkVersion(address());
  for (int i = 0; i < update::kVersionFieldCount; ++i)
    EXPECT_EQ(updateState().versionFields[i], "v" + std::to_string(i)) << i;
  const char* const shownIn[] = {ui::name::kPublishedVersion,  ui::name::kUpdateTitle,
                                 ui::name::kUpdateDescription, ui::name::kUpdateNote1,
                                 ui::name::kUpdateNote2,       ui::name::kUpdateNote3,
                                 ui::name::kUpdateNote4,       ui::name::kUpdateNote5};
  for (std::size_t i = 0; i < std::size(shownIn); ++i)
    EXPECT_EQ(controls.text(shownIn[i]), "v" + std::to_string(i)) << shownIn[i];
  EXPECT_EQ(controls.text(ui::name::kUpdateNotes),
            std::string(22, ' ') + "v1\r\nv2\r\nv3\r\nv4\r\nv5\r\nv6\r\nv7");
}

TEST_F(VersionTest, YesShowsTheDownloadPanelAndDisablesTheStartButton) {
  server.respond("/version.html", page(kPage51));
  os.messageBoxes.answers = {6};
  checkVersion(address());
  for (const char* name :
       {ui::name::kReceivedLabel, ui::name::kSpeedLabel, ui::name::kSizeLabel,
        ui::name::kPercentLabel, ui::name::kProgressBar, ui::name::kUpdateNotes}) {
    EXPECT_TRUE(controls.isVisible(name)) << name;
  }
  EXPECT_FALSE(controls.isEnabled(ui::name::kStartButton));
  EXPECT_EQ(os.pump.delays, std::vector<int>{500});
}

// The page is read while the window's messages go on: a second click then
// finds the check under way and does nothing, and so does one while the
// download runs.
TEST_F(VersionTest, ASecondClickWhileTheCheckOrTheDownloadRunsDoesNothing) {
  server.respond("/version.html", page(kPage51));
  os.pump.duringWait = [this] {
    os.pump.duringWait = nullptr;
    checkVersion(address());
  };
  os.messageBoxes.answers = {6};
  checkVersion(address());
  EXPECT_EQ(os.messageBoxes.calls.size(), 1u);
  EXPECT_EQ(os.pump.waits, 1) << "the page was read once";
  EXPECT_EQ(launcher->updateFlow().phase(), update::UpdatePhase::kDownloading);
  checkVersion(address());
  EXPECT_EQ(os.pump.waits, 1) << "nothing read while the download runs";
  EXPECT_EQ(os.messageBoxes.calls.size(), 1u);
}

TEST_F(VersionTest, NothingIsAskedForAnOldEmptyOrMissingPage) {
  server.respond("/same.html", page("<p>\xE6\x9C\x80\xE6\x96\xB0\xE7\x89\x88\xE6\x9C\xAC=5.0</p>"));
  // The same number as 5.0.
  server.respond("/zeros.html", page("\xE6\x9C\x80\xE6\x96\xB0\xE7\x89\x88\xE6\x9C\xAC=5.00<"));
  server.respond("/open.html", page("\xE6\x9C\x80\xE6\x96\xB0\xE7\x89\x88\xE6\x9C\xAC=5.1 no end"));
  // Taken as written: " 5.1" sorts before "5.0".
  server.respond("/spaced.html", page("\xE6\x9C\x80\xE6\x96\xB0\xE7\x89\x88\xE6\x9C\xAC= 5.1<"));
  for (const std::string path :
       {"/same.html", "/zeros.html", "/open.html", "/spaced.html", "/missing.html"}) {
    checkVersion(server.base() + path);
  }
  checkVersion("http://127.0.0.1:1/unreachable");
  EXPECT_TRUE(os.messageBoxes.calls.empty());
  EXPECT_EQ(controls.text(ui::name::kPublishedVersion), "");
  EXPECT_EQ(controls.text(ui::name::kUpdateNotes),
            std::string(22, ' ') + "\r\n\r\n\r\n\r\n\r\n\r\n");
  EXPECT_TRUE(controls.isEnabled(ui::name::kStartButton));
}

TEST_F(VersionTest, EveryCheckReplacesTheFields) {
  server.respond("/version.html", page(kPage51));
  os.messageBoxes.answers = {7, 7};
  checkVersion(address());
  server.respond("/version.html", page("nothing here"));
  checkVersion(address());
  EXPECT_EQ(updateState().versionFields[update::kUpdateAddress], "");
  EXPECT_EQ(controls.text(ui::name::kUpdateTitle), "");
  EXPECT_EQ(os.messageBoxes.calls.size(), 1u);
}

// Only a launcher that has its publisher's key reads the signature; to it,
// a page announces only the release its publisher signed.
TEST_F(VersionTest, AKeyedLauncherIsOfferedOnlyTheSignedRelease) {
  update::PublicKey publicKey{};
  update::SecretKey secretKey{};
  crypto_sign_keypair(publicKey.data(), secretKey.data());
  const std::string address = "http://127.0.0.1:1/pkg.zip";
  const std::string signedAt = server.base() + "/signed.html";
  update::Release release{signedAt, "5.1", "NewLauncher.exe", "pkg.zip", 4321, {}};
  release.packageDigest.fill(7);
  // The page of kPage51 with the release's size, digest and signature, the
  // signature wrapped in line breaks as an editor may leave it.
  const auto signedPage = [&](const update::Release& signedRelease, update::ReleaseForm form) {
    return std::string(kPage51) + "\xE6\x9B\xB4\xE6\x96\xB0\xE5\x8C\x85\xE5\xA4\xA7\xE5\xB0\x8F=" +
           std::to_string(signedRelease.packageSize) +                         // 更新包大小=
           "<\xE6\x9B\xB4\xE6\x96\xB0\xE5\x8C\x85\xE6\x91\x98\xE8\xA6\x81=" +  // 更新包摘要=
           update::toBase64(signedRelease.packageDigest) +
           "<\xE6\x9B\xB4\xE6\x96\xB0\xE7\xAD\xBE\xE5\x90\x8D" +  // 更新签名 (2)=
           (form == update::ReleaseForm::kWithPage ? "2" : "") + "=\n" +
           update::toBase64(update::signRelease(signedRelease, form, secretKey)) + "\n<";
  };
  const auto signedForm = [&](const update::Release& signedRelease) {
    return signedPage(signedRelease, update::ReleaseForm::kWithPage);
  };
  update::Release older = release;
  older.version = "5.0.9";  // served again as 5.1
  update::Release otherLauncher = release;
  otherLauncher.launcherName = "Game.exe";
  server.respond("/unsigned.html", page(kPage51));
  server.respond("/signed.html", page(signedForm(release)));
  server.respond("/older.html", page(signedForm(older)));
  server.respond("/other-launcher.html", page(signedForm(otherLauncher)));
  // Another game's page, the same publisher and key.
  server.respond("/served-elsewhere.html", page(signedForm(release)));
  server.respond("/earlier-form.html",
                 page(signedPage(release, update::ReleaseForm::kWithoutPage)));
  os.messageBoxes.answers = {7, 7};

  checkVersion(server.base() + "/unsigned.html");
  EXPECT_EQ(os.messageBoxes.calls.size(), 1u) << "without a key the signature is not read";

  updateState().publicKey = update::toBase64(publicKey);
  for (const std::string path : {"/unsigned.html", "/older.html", "/other-launcher.html",
                                 "/served-elsewhere.html", "/earlier-form.html"}) {
    checkVersion(server.base() + path);
    EXPECT_EQ(os.messageBoxes.calls.size(), 1u) << path;
  }
  EXPECT_EQ(controls.text(ui::name::kPublishedVersion), "5.1") << "the fields are shown as ever";
  EXPECT_TRUE(controls.isEnabled(ui::name::kStartButton));

  checkVersion(server.base() + "/signed.html");
  EXPECT_EQ(os.messageBoxes.calls.size(), 2u) << "the signed release is offered";
  EXPECT_EQ(updateState().versionFields[update::kPackageSize], "4321");

  // A launcher that is at 5.1 already, or past it, is not offered it again.
  for (const char* local : {"5.1", "5.2"}) {
    updateState().localVersion = local;
    checkVersion(server.base() + "/signed.html");
    EXPECT_EQ(controls.text(ui::name::kLocalVersion), local);
    EXPECT_EQ(os.messageBoxes.calls.size(), 2u) << local;
  }

  updateState().localVersion = "5.0";
  updateState().publicKey = "not a key";
  checkVersion(server.base() + "/signed.html");
  EXPECT_EQ(os.messageBoxes.calls.size(), 2u) << "a broken key takes nothing";
}

}  // namespace
