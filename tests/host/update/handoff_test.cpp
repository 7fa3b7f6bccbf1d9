// The update from the accepted question to the hand-over, against a real
// server on loopback, with real ZIP packages and the recording fakes.

#include <chrono>
#include <functional>
#include <set>
#include <thread>

#include <zlib.h>

#include "base/path.h"
#include "core/startup.h"
#include "loopback_server.h"
#include "nginx_fixture.h"
#include "publisher/entry_list_writer.h"
#include "publisher/host/host_tools.h"
#include "publisher/package_writer.h"
#include "test_support.h"
#include "ui/control_names.h"
#include "ui/control_table.h"
#include "unzip_test_archives.h"
#include "update/download.h"
#include "update/download/download_engine.h"
#include "update/download/download_object.h"
#include "update/download/room.h"
#include "update/download_failure.h"
#include "update/handoff.h"
#include "update/package/apply_journal.h"
#include "update/package/release_signature.h"
#include "update/progress_text.h"
#include "update/update_flow.h"

namespace {

using platform::host::ProgramEnded;
using testing_support::LauncherTest;
using testing_support::LoopbackServer;

std::string served(const std::string& body) {
  return "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

class HandoffTest : public LauncherTest {
 protected:
  void SetUp() override {
    LauncherTest::SetUp();
    // A Windows-looking run directory on the host's root, like Wine's Z:.
    os.process.directory = "Z:" + runDir().string();
    writeConfig("[http]\r\ndiy=http://example.invalid/help\r\n");
    // As many tries after a break as the launcher makes, without its pauses.
    updateState().retryPausesMs = {1, 2, 4, 8, 16};
  }

  update::UpdateFlow& flow() { return launcher->updateFlow(); }

  // The player's Yes to the release in the state's fields, for `address`.
  void accept(const std::string& address) {
    updateState().versionFields[update::kUpdateAddress] = address;
    flow().acceptRelease();
  }

  std::string package(const std::vector<std::pair<std::string, std::string>>& entries) {
    const auto archive = runDir().parent_path() / (runDir().filename().string() + "-pkg.zip");
    testing_support::zipWithPython(archive, entries);
    const std::string bytes = testing_support::readBytes(archive);
    std::filesystem::remove(archive);
    return bytes;
  }

  // Accepts the update for `address` and plays the window's part: handles
  // each notice in order until the download has ended and been handed over.
  void download(const std::string& title, const std::string& address) {
    updateState().versionFields[update::kProgramTitle] = title;
    accept(address);
    for (int waited = 0; waited < 10000 && flow().phase() == update::UpdatePhase::kDownloading;
         waited += 5) {
      while (const std::optional<ui::Notice> notice = controls.takeNotice()) {
        noticeKinds.push_back(notice->first);
        launcher->raise(ui::name::kPublishedVersion, ui::Event::Feedback,
                        {notice->first, notice->second});
        if (notice->first == 1)
          return;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (flow().phase() == update::UpdatePhase::kDownloading)
      FAIL() << "the download never ended";
  }

  std::string url(const std::string& path) const { return server.base() + path; }
  bool exists(const std::string& relative) const {
    return std::filesystem::exists(runDir() / relative);
  }

  LoopbackServer server;
  std::vector<int> noticeKinds;
};

TEST_F(HandoffTest, ANewLauncherInThePackageTakesOver) {
  // Noise does not compress: the package comes in several blocks.
  std::string noise(50000, '\0');
  std::uint32_t seed = 1;
  for (char& c : noise)
    c = static_cast<char>((seed = seed * 1103515245u + 12345u) >> 16);
  server.respond("/dl/pkg.zip",
                 served(package({{"NewLauncher.exe", "MZ new"}, {"data/readme.txt", noise}})));
  // The new launcher's window shows during the first wait; a marker of its
  // name proves nothing, as any program could make it.
  os.namedEvents.names.insert(core::shownSignalName(os.process.directory, "NewLauncher.exe"));
  std::vector<std::string> classesAsked;
  os.pump.duringDelay = [this, &classesAsked] {
    if (!os.processes.started.empty())
      os.processes.childShowsWindow = [&classesAsked](const std::string& windowClass) {
        classesAsked.push_back(windowClass);
        return true;
      };
  };
  EXPECT_THROW(download("NewLauncher.exe", url("/dl/pkg.zip")), ProgramEnded);

  EXPECT_EQ(noticeKinds.back(), 1);
  EXPECT_EQ(controls.text(ui::name::kPercentLabel), "已下载：100%");
  EXPECT_EQ(controls.position(ui::name::kProgressBar), 100);
  EXPECT_TRUE(exists("NewLauncher.exe"));
  EXPECT_TRUE(exists("data/readme.txt"));
  EXPECT_FALSE(exists("pkg.zip")) << "the package is deleted";
  EXPECT_FALSE(exists("pkg.zip.tmp"));
  const std::string runDirectory = os.process.directory;
  ASSERT_EQ(os.processes.calls.size(), 2u);
  EXPECT_EQ(os.processes.calls[0].commandLine, runDirectory + "\\NewLauncher.exe");
  EXPECT_EQ(os.processes.calls[0].windowMode, 2);
  EXPECT_EQ(os.processes.calls[1].commandLine,
            "cmd.exe /c del \"" + runDirectory + "\\launcher.exe\"");
  EXPECT_EQ(os.processes.calls[1].windowMode, 1);
  EXPECT_FALSE(os.processes.calls[1].wait);
  EXPECT_EQ(os.pump.delays, (std::vector<int>{500, 500, 100, 200, 900}));
  EXPECT_EQ(classesAsked, std::vector<std::string>{ui::launchWindowProperties().className});
  EXPECT_EQ(os.process.exitCodes, std::vector<int>{0});
  EXPECT_TRUE(os.messageBoxes.calls.empty());
  EXPECT_FALSE(exists(update::kJournalFileName));
}

TEST_F(HandoffTest, WithoutTheNewLauncherTheHelpPageAndThePackageAreOffered) {
  server.respond("/pkg.zip", served(package({{"other.txt", "x"}})));
  os.messageBoxes.answers = {6, 7};  // Yes after the unpack, No after the download
  download("NewLauncher.exe", url("/pkg.zip"));
  // The program-wide record shows what the task was given.
  const update::DownloadTaskParameters& record = *updateState().taskParameters;
  EXPECT_EQ(record.modeWord, 4096);
  EXPECT_EQ(record.sourceAddress, url("/pkg.zip"));
  EXPECT_EQ(record.localFilePath, os.process.directory + "\\pkg.zip.tmp");
  EXPECT_EQ(record.connections, 1);

  ASSERT_EQ(os.messageBoxes.calls.size(), 3u);
  EXPECT_EQ(os.messageBoxes.calls[0].text, update::kNoNewLauncherQuestion);
  EXPECT_EQ(os.messageBoxes.calls[0].title, " 软件更新提示");
  EXPECT_EQ(os.messageBoxes.calls[0].flags, 4u);
  EXPECT_EQ(os.messageBoxes.calls[1].text, update::kNoNewLauncherQuestion);
  EXPECT_EQ(os.messageBoxes.calls[2].text, update::kOpenPackageMessage);
  EXPECT_EQ(os.messageBoxes.calls[2].title, "更新包打开提示");
  EXPECT_EQ(os.messageBoxes.calls[2].flags, 0x40u);
  EXPECT_EQ(os.shell.opened, (std::vector<std::string>{"http://example.invalid/help",
                                                       os.process.directory + "\\pkg.zip"}));
  EXPECT_TRUE(exists("other.txt"));
  EXPECT_TRUE(exists("pkg.zip")) << "kept for unpacking by hand";
  EXPECT_TRUE(os.process.exitCodes.empty());
}

TEST_F(HandoffTest, ALauncherThatCannotStartOrIsThisOneIsNeverRemoved) {
  server.respond("/pkg.zip", served(package({{"NewLauncher.exe", "not a program"}})));
  os.processes.result = false;
  os.messageBoxes.answers = {7, 7, 7, 7};
  download("NewLauncher.exe", url("/pkg.zip"));
  for (const auto& call : os.processes.calls) {
    EXPECT_EQ(call.commandLine.find("cmd.exe"), std::string::npos) << call.commandLine;
  }
  // The update is taken back and the player told so.
  EXPECT_FALSE(exists("NewLauncher.exe"));
  EXPECT_FALSE(exists("pkg.zip"));
  ASSERT_EQ(os.messageBoxes.calls.size(), 1u);
  EXPECT_EQ(os.messageBoxes.calls[0].text, update::kNewLauncherFailed);
  EXPECT_TRUE(controls.isEnabled(ui::name::kStartButton));
  EXPECT_TRUE(os.process.exitCodes.empty());

  // A title naming this very launcher, however spelled: starting it and
  // deleting it would leave nothing behind.
  os.processes.result = true;
  writeFile("launcher.exe", "MZ old");
  std::filesystem::create_directories(runDir() / "sub");
  // And a program outside the run directory, there to be found.
  const auto outside = runDir().parent_path() / (runDir().filename().string() + "-x.exe");
  testing_support::writeBytes(outside, "MZ elsewhere");
  const std::string outsideName = outside.filename().string();
  server.respond("/other.zip", served(package({{"other.txt", "x"}})));
  for (const std::string& title :
       {std::string("launcher.exe"), std::string(".\\launcher.exe"),
        std::string("sub\\..\\launcher.exe"), "..\\" + outsideName, "sub\\..\\..\\" + outsideName,
        os.process.directory + "\\..\\" + outsideName, "\\" + outsideName}) {
    os.processes.calls.clear();
    const std::size_t asked = os.messageBoxes.calls.size();
    os.messageBoxes.answers = {6, 6};
    download(title, url("/other.zip"));
    EXPECT_TRUE(os.processes.calls.empty()) << title;
    ASSERT_GT(os.messageBoxes.calls.size(), asked);
    EXPECT_EQ(os.messageBoxes.calls[asked].text, update::kNoNewLauncherQuestion) << "asked instead";
    EXPECT_TRUE(exists("launcher.exe"));
    EXPECT_TRUE(os.process.exitCodes.empty());
  }
  std::filesystem::remove(outside);

  // One in a folder of the game's is still inside it.
  server.respond("/sub.zip", served(package({{"sub/New.exe", "MZ new"}})));
  os.pump.duringDelay = [this] {
    if (!os.processes.started.empty())
      os.processes.childShowsWindow = [](const std::string&) { return true; };
  };
  EXPECT_THROW(download("sub\\New.exe", url("/sub.zip")), ProgramEnded);
  EXPECT_EQ(os.processes.started.back(), os.process.directory + "\\sub\\New.exe");
}

// A package with an entry that must not be unpacked, or that is damaged:
// the player is told, the package goes, and it is never opened for
// unpacking by hand.
TEST_F(HandoffTest, ADamagedOrUnsafePackageIsSaidAndRemovedNeverOpened) {
  std::string damaged = package({{"NewLauncher.exe", std::string(4000, 'n')}});
  damaged[60] ^= 0x20;  // inside the deflated data
  const std::string cases[] = {
      package({{"NewLauncher.exe", "MZ new"}, {"../outside.txt", "x"}}),
      package({{"data/../../outside.txt", "x"}}),
      damaged,
  };
  for (const std::string& bytes : cases) {
    os.messageBoxes.calls.clear();
    server.respond("/pkg.zip", served(bytes));
    download("NewLauncher.exe", url("/pkg.zip"));
    ASSERT_EQ(os.messageBoxes.calls.size(), 1u);
    EXPECT_EQ(os.messageBoxes.calls[0].text, update::kPackageDamaged);
    EXPECT_EQ(os.messageBoxes.calls[0].flags, 0x30u);
    EXPECT_TRUE(os.shell.opened.empty()) << "never opened for unpacking by hand";
    EXPECT_FALSE(exists("pkg.zip"));
    EXPECT_FALSE(exists("NewLauncher.exe"));
    EXPECT_FALSE(std::filesystem::exists(runDir().parent_path() / "outside.txt"));
    EXPECT_TRUE(controls.isEnabled(ui::name::kStartButton));
    EXPECT_FALSE(controls.isVisible(ui::name::kProgressBar));
    EXPECT_TRUE(os.process.exitCodes.empty());
  }
}

TEST_F(HandoffTest, AStaleTemporaryFileOrPackageGivesWayToTheFreshDownload) {
  writeFile("pkg.zip.tmp", "left over by an interrupted run");
  writeFile("pkg.zip", package({{"stale.txt", "old"}}));
  server.respond("/pkg.zip", served(package({{"fresh.txt", "new"}})));
  os.messageBoxes.answers = {7, 7};
  download("NewLauncher.exe", url("/pkg.zip"));
  EXPECT_TRUE(exists("fresh.txt"));
  EXPECT_EQ(testing_support::readBytes(runDir() / "fresh.txt"), "new");
  EXPECT_FALSE(exists("stale.txt"));
}

// The package's name comes from the address: one that is no plain file
// name must not place (or clean up) anything outside the run directory.
TEST_F(HandoffTest, APackageNameThatIsNoPlainFileNameIsNotDownloaded) {
  const auto outside = runDir().parent_path() / (runDir().filename().string() + "-x.zip.tmp");
  testing_support::writeBytes(outside, "someone else's file");
  const std::string outsideName = outside.filename().string();
  for (const std::string& address :
       {url("/dl/..\\" + outsideName.substr(0, outsideName.size() - 4)), url("/dl/CON"),
        url("/dl/a:b.zip"), url("/dl/x.zip\\..\\..\\y.zip")}) {
    updateState().versionFields[update::kUpdateAddress] = address;
    controls.setEnabled(ui::name::kStartButton, false);
    flow().acceptRelease();
    EXPECT_FALSE(updateState().downloadObject->hasTask()) << address;
    EXPECT_TRUE(controls.isEnabled(ui::name::kStartButton)) << address << ": the button works";
  }
  EXPECT_TRUE(os.messageBoxes.calls.empty());
  EXPECT_EQ(testing_support::readBytes(outside), "someone else's file");
  EXPECT_TRUE(server.requests().empty());
  std::filesystem::remove(outside);
}

// An address ending in "/" downloads to ".tmp" in the run directory; the
// empty package name is no full file path, so nothing is moved or unpacked
// and the hand-off looks for the new launcher all the same.
TEST_F(HandoffTest, AnAddressEndingInASlashDownloadsToDotTmpAndUnpacksNothing) {
  server.respond("/dl/", served(package({{"NewLauncher.exe", "MZ new"}})));
  os.messageBoxes.answers = {7};
  download("NewLauncher.exe", url("/dl/"));
  EXPECT_EQ(server.requests().size(), 1u);
  EXPECT_EQ(updateState().names.download, os.process.directory + "\\.tmp");
  EXPECT_EQ(updateState().progress->percent, 100);
  EXPECT_FALSE(exists(".tmp")) << "deleted, not moved";
  EXPECT_FALSE(exists("NewLauncher.exe")) << "nothing unpacked";
  ASSERT_EQ(os.messageBoxes.calls.size(), 2u);
  EXPECT_EQ(os.messageBoxes.calls[0].text, update::kNoNewLauncherQuestion);
  EXPECT_EQ(os.messageBoxes.calls[1].text, update::kOpenPackageMessage);
  EXPECT_TRUE(os.process.exitCodes.empty());
}

TEST_F(HandoffTest, AFailedDownloadUnpacksNothingAndAsksNothing) {
  server.respond("/pkg.zip", "HTTP/1.1 404 Not Found\r\nContent-Length: 4\r\n\r\ngone");
  download("NewLauncher.exe", url("/pkg.zip"));
  EXPECT_EQ(noticeKinds, std::vector<int>{1});
  EXPECT_TRUE(os.messageBoxes.calls.empty());
  EXPECT_FALSE(exists("pkg.zip"));
  EXPECT_EQ(updateState().progress->percent, 0);

  // Cut short at 99 percent: as failed as nothing at all.
  const std::string cut = served(std::string(1000, 'z'));
  server.respond("/cut.zip", cut.substr(0, cut.size() - 5));
  for (int i = 0; i < 5000 && updateState().downloadObject->hasTask(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  download("NewLauncher.exe", url("/cut.zip"));
  EXPECT_EQ(updateState().progress->percent, 99);
  EXPECT_TRUE(os.messageBoxes.calls.empty());
}

// A launcher with its publisher's key, and that publisher's signatures.
class SignedHandoffTest : public HandoffTest {
 protected:
  void SetUp() override {
    HandoffTest::SetUp();
    crypto_sign_keypair(publicKey.data(), secretKey.data());
    updateState().publicKey = update::toBase64(publicKey);
  }

  // The page's fields for release 5.1 of NewLauncher.exe, the package
  // `bytes` at `address`, signed with `key`.
  void announce(const std::string& bytes, const std::string& address,
                const update::SecretKey& key) {
    update::PackageHasher hasher;
    hasher.add(bytes.data(), bytes.size());
    const update::Release release{updateState().pageAddress,        "5.1",        "NewLauncher.exe",
                                  update::packageFileName(address), bytes.size(), hasher.finish()};
    auto& fields = updateState().versionFields;
    fields[update::kLatestVersion] = release.version;
    fields[update::kProgramTitle] = release.launcherName;
    fields[update::kUpdateAddress] = address;
    fields[update::kPackageSize] = std::to_string(release.packageSize);
    fields[update::kPackageDigest] = update::toBase64(release.packageDigest);
    fields[update::kSignatureWithPage] =
        update::toBase64(update::signRelease(release, update::kLauncherReleaseForm, key));
  }

  // Downloads what the server has at `path` once the page has announced it.
  void downloadAnnounced(const std::string& path) {
    for (int i = 0; i < 5000 && updateState().downloadObject->hasTask(); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    controls.setEnabled(ui::name::kStartButton, false);
    download("NewLauncher.exe", url(path));
  }

  // The refusal box by default; the download box for a package that never
  // arrived whole.
  void expectRefused(const std::string& what,
                     const std::string& text = "更新包校验失败,已取消本次更新.") {
    ASSERT_EQ(os.messageBoxes.calls.size(), 1u) << what;
    EXPECT_EQ(os.messageBoxes.calls[0].text, text) << what;
    EXPECT_EQ(os.messageBoxes.calls[0].title, " 软件更新提示");
    EXPECT_EQ(os.messageBoxes.calls[0].flags, 0x30u);
    EXPECT_TRUE(controls.isEnabled(ui::name::kStartButton)) << what;
    EXPECT_FALSE(controls.isVisible(ui::name::kProgressBar)) << what << ": no dead panel";
    EXPECT_TRUE(os.processes.calls.empty()) << what;
    EXPECT_TRUE(os.process.exitCodes.empty()) << what;
  }

  std::set<std::string> runDirectoryFiles() const {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(runDir()))
      names.insert(std::filesystem::relative(entry.path(), runDir()).string());
    return names;
  }

  update::PublicKey publicKey{};
  update::SecretKey secretKey{};
};

TEST_F(SignedHandoffTest, APackageItsPublisherSignedTakesOver) {
  const std::string bytes = package({{"NewLauncher.exe", "MZ new"}, {"data.txt", "d"}});
  // A file of the stale temporary's name is someone's: it stays.
  writeFile("pkg.zip.tmp", "not ours");
  server.respond("/pkg.zip", served(bytes));
  announce(bytes, url("/pkg.zip"), secretKey);
  EXPECT_THROW(downloadAnnounced("/pkg.zip"), ProgramEnded);
  EXPECT_TRUE(exists("NewLauncher.exe"));
  EXPECT_TRUE(exists("data.txt"));
  EXPECT_FALSE(exists("pkg.zip"));
  EXPECT_EQ(testing_support::readBytes(runDir() / "pkg.zip.tmp"), "not ours");
  EXPECT_FALSE(exists("pkg.zip(1).tmp"));
  EXPECT_TRUE(os.messageBoxes.calls.empty());
  EXPECT_EQ(os.process.exitCodes, std::vector<int>{0});
}

// The most a signed download may bring: the signed size, never "no bound".
TEST(SignedDownload, IsBoundedByTheSignedSize) {
  const std::pair<std::string, std::int64_t> rows[] = {
      {"", 0},  // no size: no signed release either
      {"12 345", 0},
      {"0", 1},
      {"1", 1},
      {"4294967297", 4294967297},
      {"9223372036854775807", 9223372036854775807},
      {"9999999999999999999", 9223372036854775807},
  };
  for (const auto& [size, bound] : rows) {
    update::VersionFields fields;
    fields[update::kPackageSize] = size;
    EXPECT_EQ(update::signedSizeBound(fields), bound) << size;
  }
}

TEST_F(SignedHandoffTest, AnyOtherPackageIsRefusedAndNothingOfItStays) {
  const std::string bytes = package({{"NewLauncher.exe", "MZ new"}, {"data.txt", "d"}});
  std::string changed = bytes;
  changed[changed.size() / 2] ^= 1;
  update::PublicKey otherPublic{};
  update::SecretKey otherSecret{};
  crypto_sign_keypair(otherPublic.data(), otherSecret.data());
  // Longer than signed: the download stops at the signed size, as one that
  // never arrived whole.
  const std::string unfinished = "更新包未能完整下载,已取消本次更新,游戏不受影响.";
  const struct {
    const char* what;
    std::string response;
    const update::SecretKey& key;
    std::string box = "更新包校验失败,已取消本次更新.";
  } cases[] = {
      {"one byte changed", served(changed), secretKey},
      {"cut short", served(bytes.substr(0, bytes.size() - 1)), secretKey},
      {"one byte more", served(bytes + "x"), secretKey, unfinished},
      {"endless, without a length", "HTTP/1.0 200 OK\r\n\r\n" + bytes + std::string(300000, 'x'),
       secretKey, unfinished},
      {"signed with another key", served(bytes), otherSecret},
  };
  for (const auto& c : cases) {
    os.messageBoxes.calls.clear();
    server.respond("/pkg.zip", c.response);
    announce(bytes, url("/pkg.zip"), c.key);
    downloadAnnounced("/pkg.zip");
    expectRefused(c.what, c.box);
    EXPECT_EQ(updateState().names.download, os.process.directory + "\\pkg.zip.tmp")
        << "the plain temporary name, while no file has it";
    EXPECT_FALSE(exists("NewLauncher.exe")) << c.what << ": nothing unpacked";
    EXPECT_FALSE(exists("pkg.zip")) << c.what;
    EXPECT_FALSE(exists("pkg.zip.tmp")) << c.what;
  }
}

// Every temporary name is someone's file: the release is refused before
// anything is asked of the server.
TEST_F(SignedHandoffTest, TheLastFreeTemporaryNameIsTakenAndNoneMeansNoDownload) {
  // No new launcher inside: the launcher stays to be looked at.
  const std::string bytes = package({{"data.txt", "d"}});
  server.respond("/pkg.zip", served(bytes));
  writeFile("pkg.zip.tmp", "taken");
  for (int number = 1; number < update::kMaxNumberedNames; ++number)
    writeFile("pkg.zip(" + std::to_string(number) + ").tmp", "taken");
  announce(bytes, url("/pkg.zip"), secretKey);
  os.messageBoxes.answers = {6, 6};
  downloadAnnounced("/pkg.zip");
  EXPECT_EQ(updateState().names.download, os.process.directory + "\\pkg.zip(99).tmp");
  EXPECT_TRUE(exists("data.txt"));
  EXPECT_FALSE(exists("pkg.zip(99).tmp"));
  EXPECT_EQ(testing_support::readBytes(runDir() / "pkg.zip(98).tmp"), "taken");

  writeFile("pkg.zip(99).tmp", "taken too");
  os.messageBoxes.calls.clear();
  const std::size_t requests = server.requests().size();
  controls.setEnabled(ui::name::kStartButton, false);
  flow().acceptRelease();
  EXPECT_FALSE(updateState().downloadObject->hasTask());
  EXPECT_EQ(server.requests().size(), requests);
  expectRefused("no free name");
}

// A signed package that cannot take its own name (a folder has it) is
// not unpacked from whatever stands there.
TEST_F(SignedHandoffTest, APackageThatCannotTakeItsNameIsRefused) {
  const std::string bytes = package({{"NewLauncher.exe", "MZ new"}});
  std::filesystem::create_directories(runDir() / "pkg.zip" / "inside");
  server.respond("/pkg.zip", served(bytes));
  announce(bytes, url("/pkg.zip"), secretKey);
  downloadAnnounced("/pkg.zip");
  expectRefused("a folder of the package's name");
  EXPECT_FALSE(exists("pkg.zip.tmp"));
  EXPECT_FALSE(exists("NewLauncher.exe"));
  EXPECT_TRUE(exists("pkg.zip/inside"));
}

TEST_F(SignedHandoffTest, ARefusedPackageNameIsSaidAndTheStartButtonWorks) {
  announce("x", url("/dl/CON"), secretKey);
  controls.setEnabled(ui::name::kStartButton, false);
  flow().acceptRelease();
  EXPECT_FALSE(updateState().downloadObject->hasTask());
  expectRefused("a device name");
  EXPECT_TRUE(server.requests().empty());
}

// The page names the package's file: whatever it names, a file of the
// game's stays as it is unless a package signed for that name arrives.
TEST_F(SignedHandoffTest, AGameFileThePageNamesIsNeverTouched) {
  writeFile("GameAssembly.dll", "the game's code");
  writeFile("GameAssembly.dll.tmp", "the game's too");
  const std::set<std::string> before = runDirectoryFiles();
  const std::string genuine = package({{"NewLauncher.exe", "MZ new"}});
  const std::string address = url("/GameAssembly.dll");
  const struct {
    const char* what;
    std::string response;
    std::function<void()> announce;
    std::string box = "更新包校验失败,已取消本次更新.";
  } cases[] = {
      {"a wrong signature", served(genuine),
       [&] {
         announce(genuine, address, secretKey);
         updateState().versionFields[update::kSignatureWithPage] =
             update::toBase64(update::Signature{});
       }},
      {"a failed download", "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n",
       [&] { announce(genuine, address, secretKey); },
       "更新包未能完整下载,已取消本次更新,游戏不受影响."},
      {"a genuine package signed for another name", served(genuine),
       [&] {
         announce(genuine, url("/pkg.zip"), secretKey);
         updateState().versionFields[update::kUpdateAddress] = address;
       }},
  };
  for (const auto& c : cases) {
    os.messageBoxes.calls.clear();
    server.respond("/GameAssembly.dll", c.response);
    c.announce();
    downloadAnnounced("/GameAssembly.dll");
    expectRefused(c.what, c.box);
    EXPECT_EQ(testing_support::readBytes(runDir() / "GameAssembly.dll"), "the game's code")
        << c.what;
    EXPECT_EQ(testing_support::readBytes(runDir() / "GameAssembly.dll.tmp"), "the game's too")
        << c.what;
    EXPECT_EQ(runDirectoryFiles(), before) << c.what;
  }
}

// A package that never arrived whole: the download box, not the refusal
// one; what cannot be continued is gone, and the start button works.
TEST_F(SignedHandoffTest, APackageThatNeverArrivedWholeIsSaidSo) {
  const std::string bytes = package({{"NewLauncher.exe", "MZ new"}});
  const std::string cut = "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(bytes.size()) +
                          "\r\n\r\n" + bytes.substr(0, bytes.size() / 2);
  const struct {
    const char* what;
    std::string address;
    std::vector<testing_support::ServerStep> script;
  } cases[] = {
      {"not found",
       url("/pkg.zip"),
       {testing_support::sendBytes("HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n")}},
      {"no server", "http://127.0.0.1:1/pkg.zip", {}},
      {"retries used up, no validator",
       url("/pkg.zip"),
       {testing_support::sendBytes(cut), testing_support::resetConnection()}},
  };
  for (const auto& c : cases) {
    os.messageBoxes.calls.clear();
    server.on("/pkg.zip", c.script);
    announce(bytes, c.address, secretKey);
    downloadAnnounced("/pkg.zip");
    expectRefused(c.what, "更新包未能完整下载,已取消本次更新,游戏不受影响.");
    EXPECT_FALSE(exists("pkg.zip.tmp")) << c.what;
    EXPECT_FALSE(exists("pkg.zip.tmp.resume")) << c.what;
    // An end notice that comes late, the update over, ends nothing again.
    launcher->raise(ui::name::kPublishedVersion, ui::Event::Feedback, {1, 0});
    EXPECT_EQ(os.messageBoxes.calls.size(), 1u) << c.what;
  }
}

// Broken beyond the retries, a package the server can continue is kept with
// its note; the next download of the same release continues it, one of
// another release starts over.
TEST_F(SignedHandoffTest, AKeptPackageIsContinuedByTheSameReleaseOnly) {
  const std::string bytes = package({{"NewLauncher.exe", "MZ new"}, {"data.txt", "d"}});
  const std::size_t half = bytes.size() / 2;
  const std::string etag = "ETag: \"r1\"\r\n";
  const std::string whole =
      "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(bytes.size()) + "\r\n" + etag + "\r\n";
  const std::string rest = "HTTP/1.1 206 Partial Content\r\nContent-Range: bytes " +
                           std::to_string(half) + "-" + std::to_string(bytes.size() - 1) + "/" +
                           std::to_string(bytes.size()) + "\r\n" + etag + "\r\n" +
                           bytes.substr(half);
  server.on("/pkg.zip", {testing_support::sendBytes(whole + bytes.substr(0, half)),
                         testing_support::resetConnection()});
  announce(bytes, url("/pkg.zip"), secretKey);
  downloadAnnounced("/pkg.zip");
  expectRefused("kept", "更新包未能完整下载,已取消本次更新,游戏不受影响.");
  EXPECT_EQ(std::filesystem::file_size(runDir() / "pkg.zip.tmp"), half);
  EXPECT_TRUE(exists("pkg.zip.tmp.resume"));

  // Another release at the same address: the kept half is not its.
  update::SecretKey otherSecret{};
  update::PublicKey otherPublic{};
  crypto_sign_keypair(otherPublic.data(), otherSecret.data());
  std::string other = bytes;
  other[0] ^= 1;
  const std::size_t before = server.requests().size();
  server.on("/pkg.zip", {testing_support::sendBytes("HTTP/1.1 404 Not Found\r\n\r\n")});
  announce(other, url("/pkg.zip"), secretKey);
  os.messageBoxes.calls.clear();
  downloadAnnounced("/pkg.zip");
  EXPECT_EQ(server.requests().at(before).find("Range:"), std::string::npos);
  EXPECT_FALSE(exists("pkg.zip.tmp"));
  EXPECT_FALSE(exists("pkg.zip.tmp.resume"));

  // Kept again, then continued by the same release: only the rest is asked.
  server.on("/pkg.zip", {testing_support::sendBytes(whole + bytes.substr(0, half)),
                         testing_support::resetConnection()});
  announce(bytes, url("/pkg.zip"), secretKey);
  os.messageBoxes.calls.clear();
  downloadAnnounced("/pkg.zip");
  ASSERT_TRUE(exists("pkg.zip.tmp.resume"));
  const std::size_t asked = server.requests().size();
  server.on("/pkg.zip", {testing_support::sendBytes(rest)});
  EXPECT_THROW(downloadAnnounced("/pkg.zip"), ProgramEnded);
  EXPECT_NE(server.requests().at(asked).find("\r\nRange: bytes=" + std::to_string(half) +
                                             "-\r\nIf-Range: \"r1\"\r\n"),
            std::string::npos);
  EXPECT_TRUE(exists("NewLauncher.exe"));
  EXPECT_TRUE(exists("data.txt"));
  EXPECT_FALSE(exists("pkg.zip.tmp"));
  EXPECT_FALSE(exists("pkg.zip.tmp.resume"));
}

// Without a key a kept partial package is neither moved nor unpacked, and
// nothing is said; the next download continues it.
TEST_F(HandoffTest, WithoutAKeyAKeptPackageWaitsForTheNextDownload) {
  const std::string bytes = package({{"other.txt", "x"}});
  const std::size_t half = bytes.size() / 2;
  server.on("/pkg.zip", {testing_support::sendBytes(
                             "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(bytes.size()) +
                             "\r\nLast-Modified: Mon, 07 Dec 2026 10:00:00 GMT\r\n\r\n" +
                             bytes.substr(0, half)),
                         testing_support::resetConnection()});
  download("NewLauncher.exe", url("/pkg.zip"));
  EXPECT_TRUE(os.messageBoxes.calls.empty());
  EXPECT_FALSE(exists("pkg.zip"));
  EXPECT_FALSE(exists("other.txt"));
  EXPECT_EQ(std::filesystem::file_size(runDir() / "pkg.zip.tmp"), half);

  for (int i = 0; i < 5000 && updateState().downloadObject->hasTask(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  const std::size_t asked = server.requests().size();
  server.on("/pkg.zip", {testing_support::sendBytes(
                            "HTTP/1.1 206 Partial Content\r\nContent-Range: bytes " +
                            std::to_string(half) + "-" + std::to_string(bytes.size() - 1) + "/" +
                            std::to_string(bytes.size()) + "\r\n\r\n" + bytes.substr(half))});
  os.messageBoxes.answers = {7, 7};
  download("NewLauncher.exe", url("/pkg.zip"));
  EXPECT_NE(server.requests().at(asked).find("If-Range: Mon, 07 Dec 2026 10:00:00 GMT"),
            std::string::npos);
  EXPECT_TRUE(exists("other.txt"));
  EXPECT_FALSE(exists("pkg.zip.tmp.resume"));
}

TEST_F(HandoffTest, ProgressTickShowsZerosThenTheBytesSinceTheLastTick) {
  flow().onProgressTick();
  EXPECT_EQ(controls.text(ui::name::kSpeedLabel), "下载速度：0 KB\\s");
  EXPECT_EQ(controls.text(ui::name::kReceivedLabel), "已下载：0MB");
  EXPECT_EQ(controls.text(ui::name::kSizeLabel), "更新大小：0MB");

  // Half of the package arrives, then nothing more.
  server.on("/pkg.zip",
            {testing_support::sendBytes(testing_support::okHead(40960) + std::string(20480, 'z')),
             testing_support::stall()});
  updateState().versionFields[update::kUpdateAddress] = url("/pkg.zip");
  flow().acceptRelease();
  for (int waited = 0; waited < 10000 && updateState().progress->percent != 50; waited += 5)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  flow().onProgressTick();
  EXPECT_EQ(controls.text(ui::name::kSpeedLabel), "下载速度：20 KB\\s");
  EXPECT_EQ(controls.text(ui::name::kSizeLabel), "更新大小：0.04MB");
  flow().onProgressTick();
  EXPECT_EQ(controls.text(ui::name::kSpeedLabel), "下载速度：0 KB\\s");
  EXPECT_EQ(controls.text(ui::name::kReceivedLabel), "已下载：0.02MB");
}

// However fast the blocks come, one progress notice at a time waits for
// the window, and it shows the percent current when it is handled.
TEST_F(HandoffTest, ProgressNoticesDoNotPileUpInTheWindowsQueue) {
  server.on("/pkg.zip", {testing_support::sendBytes(testing_support::okHead(2048000) +
                                                    std::string(2048000, 'z'))});
  updateState().versionFields[update::kProgramTitle] = "NewLauncher.exe";
  accept(url("/pkg.zip"));
  for (int waited = 0; waited < 10000 && updateState().downloadObject->hasTask(); waited += 5)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  std::vector<int> kinds;
  while (const std::optional<ui::Notice> notice = controls.takeNotice())
    kinds.push_back(notice->first);
  EXPECT_EQ(kinds, (std::vector<int>{2, 1}));
  launcher->raise(ui::name::kPublishedVersion, ui::Event::Feedback, {2, 0});
  EXPECT_EQ(controls.text(ui::name::kPercentLabel), "已下载：100%");
  EXPECT_FALSE(updateState().progress->progressNoticePending);
}

// A 3 GiB package continued at 2.4 GiB: the panel's figures are the 64-bit
// ones, not the notification routine's, which stop at 2 GiB.
TEST_F(HandoffTest, PanelFiguresPastTwoGibibytesAreExact) {
  constexpr std::int64_t kTotal = std::int64_t{3} << 30;
  constexpr std::int64_t kKept = 2576980378;  // 80 % of it
  server.on(
      "/pkg.zip",
      {testing_support::sendBytes("HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(kTotal) +
                                  "\r\nLast-Modified: Mon, 07 Dec 2026 10:00:00 GMT\r\n\r\n" +
                                  std::string(20480, 'z')),
       testing_support::resetConnection()});
  download("NewLauncher.exe", url("/pkg.zip"));
  ASSERT_TRUE(exists("pkg.zip.tmp.resume"));
  // The rest of the kept part, as a sparse file.
  std::filesystem::resize_file(runDir() / "pkg.zip.tmp", kKept);

  // The rest is announced, then nothing comes: the kept part alone moves
  // the figures.
  server.on("/pkg.zip",
            {testing_support::sendBytes(
                 "HTTP/1.1 206 Partial Content\r\nContent-Range: bytes " + std::to_string(kKept) +
                 "-" + std::to_string(kTotal - 1) + "/" + std::to_string(kTotal) +
                 "\r\nContent-Length: " + std::to_string(kTotal - kKept) + "\r\n\r\n"),
             testing_support::stall()});
  accept(url("/pkg.zip"));
  for (int waited = 0; waited < 10000 && updateState().downloadObject->receivedBytes() < kKept;
       waited += 5)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  flow().onProgressTick();
  EXPECT_EQ(updateState().progress->percent, 80);
  EXPECT_EQ(updateState().progress->totalSize, kTotal);
  EXPECT_EQ(controls.text(ui::name::kReceivedLabel), "已下载：2516.58MB");
  EXPECT_EQ(controls.text(ui::name::kSizeLabel), "更新大小：3145.73MB");
  while (const std::optional<ui::Notice> notice = controls.takeNotice())
    launcher->raise(ui::name::kPublishedVersion, ui::Event::Feedback,
                    {notice->first, notice->second});
  EXPECT_EQ(controls.text(ui::name::kPercentLabel), "已下载：80%");
  // The engine's own 32-bit query stops at its largest value.
  EXPECT_EQ(updateState().downloadObject->bytesReceived(), 2147483647);
}

// -- room on the disk ----------------------------------------------------------

// Requests the server had for `path`.
std::size_t requestsFor(LoopbackServer& server, const std::string& path) {
  std::size_t count = 0;
  for (const std::string& request : server.requests())
    count += request.rfind("GET " + path + " ", 0) == 0 ? 1 : 0;
  return count;
}

// Short of room by a byte, the player hears how much the update needs and
// where, before a byte of the package comes: from the signed size and the
// page's unpacked size, or, for a launcher without a key and a page
// without a size, from the declared length, after nothing but the head.
TEST_F(SignedHandoffTest, WithoutRoomNothingIsFetchedAndThePlayerHearsHowMuchIsNeeded) {
  const std::string bytes = package({{"NewLauncher.exe", "MZ new"}, {"data.txt", "d"}});
  const std::int64_t size = static_cast<std::int64_t>(bytes.size());
  const struct {
    const char* what;
    bool withKey;
    std::string unpackedHint;
    std::int64_t needed;
    std::size_t packageRequests;
    std::int64_t available;
  } cases[] = {
      {"signed size", true, "", size + update::kRoomMargin, 0, size + update::kRoomMargin - 1},
      {"signed size and unpacked hint", true, "5000000", size + 5000000 + update::kRoomMargin, 0,
       size + 5000000 + update::kRoomMargin - 1},
      {"declared length, no key", false, "", size + update::kRoomMargin, 1,
       size + update::kRoomMargin - 1},
      // Nothing is known before asking, so even a full disk asks first.
      {"declared length, no key, a full disk", false, "", size + update::kRoomMargin, 1, 0},
  };
  const std::string publicKey = updateState().publicKey;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    os.messageBoxes.calls.clear();
    updateState().publicKey = c.withKey ? publicKey : "";
    server.respond("/pkg.zip", served(bytes));
    announce(bytes, url("/pkg.zip"), secretKey);
    if (!c.withKey)
      updateState().versionFields[update::kPackageSize].clear();
    updateState().versionFields[update::kUnpackedSize] = c.unpackedHint;
    const std::set<std::string> before = runDirectoryFiles();
    const std::size_t asked = requestsFor(server, "/pkg.zip");
    os.files.spaceFigure = c.available;
    downloadAnnounced("/pkg.zip");
    expectRefused(c.what, update::roomShortMessage(c.needed, c.available, os.process.directory));
    EXPECT_EQ(requestsFor(server, "/pkg.zip") - asked, c.packageRequests);
    EXPECT_EQ(runDirectoryFiles(), before);
    EXPECT_EQ(flow().phase(), update::UpdatePhase::kIdle);
  }
  // The message as the player reads it.
  EXPECT_EQ(update::roomShortMessage(136 << 20, 95 << 20, "D:\\Games\\Ride"),
            "磁盘空间不足,已取消本次更新,游戏不受影响.\r\n更新需要 136 MB 可用空间,"
            "游戏目录所在磁盘只剩 95 MB:\r\nD:\\Games\\Ride\r\n请腾出空间后重试.");
  // With the room exactly, it goes through.
  updateState().publicKey = publicKey;
  os.messageBoxes.calls.clear();
  announce(bytes, url("/pkg.zip"), secretKey);
  os.files.spaceFigure = size + update::kRoomMargin;
  os.pump.duringDelay = [this] {
    if (!os.processes.started.empty())
      os.processes.childShowsWindow = [](const std::string&) { return true; };
  };
  EXPECT_THROW(downloadAnnounced("/pkg.zip"), ProgramEnded);
  EXPECT_TRUE(exists("data.txt"));
}

// Another program fills the disk: during the download, nothing of the
// package stays and no note to continue it; during the apply, all is
// undone. Either way the player hears that the disk is full.
TEST_F(SignedHandoffTest, ADiskThatFillsMidwayIsSaidToBeFullAndLeavesTheFolderAsBefore) {
  std::string noise(100000, '\0');
  std::uint32_t seed = 7;
  for (char& c : noise)
    c = static_cast<char>((seed = seed * 1103515245u + 12345u) >> 16);
  const std::string bytes = package({{"NewLauncher.exe", "MZ new"}, {"data.bin", noise}});
  const std::string etag = "ETag: \"r1\"\r\n";
  server.respond("/pkg.zip", "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(bytes.size()) +
                                 "\r\n" + etag + "\r\n" + bytes);
  const std::set<std::string> before = runDirectoryFiles();
  const struct {
    const char* what;
    std::int64_t room;
    bool applying;
  } cases[] = {
      {"while downloading", 30000, false},
      // The package and its note fit; the first staged file does not.
      {"while applying", static_cast<std::int64_t>(bytes.size()) + 4096, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    os.messageBoxes.calls.clear();
    announce(bytes, url("/pkg.zip"), secretKey);
    os.files.fillDiskAfter(c.room);
    downloadAnnounced("/pkg.zip");
    os.files.fillDiskAfter(std::int64_t{1} << 40);
    expectRefused(c.what, update::diskFullMessage(c.applying, os.process.directory));
    EXPECT_EQ(runDirectoryFiles(), before);
  }
  EXPECT_EQ(update::diskFullMessage(true, "D:\\Games\\Ride"),
            "磁盘已满,更新文件无法写入游戏目录,已保留原来的版本.\r\n"
            "请在游戏目录所在磁盘腾出空间后重试:\r\nD:\\Games\\Ride");
  EXPECT_EQ(update::diskFullMessage(false, "D:\\Games\\Ride"),
            "磁盘已满,更新包未能完整下载,已取消本次更新,游戏不受影响.\r\n"
            "请在游戏目录所在磁盘腾出空间后重试:\r\nD:\\Games\\Ride");
}

// The archive tells the exact unpacked size once the package is checked:
// short of room for it, nothing is staged and the package goes.
TEST_F(SignedHandoffTest, WithoutRoomToUnpackNothingIsStagedAndThePackageGoes) {
  // Two MiB of zeros pack into a few KiB: room for the download, not for
  // the apply.
  const std::string bytes =
      package({{"NewLauncher.exe", "MZ new"}, {"data.bin", std::string(2 << 20, '\0')}});
  server.respond("/pkg.zip", served(bytes));
  announce(bytes, url("/pkg.zip"), secretKey);
  const std::set<std::string> before = runDirectoryFiles();
  const std::int64_t free = static_cast<std::int64_t>(bytes.size()) + update::kRoomMargin;
  os.files.spaceFigure = free;
  downloadAnnounced("/pkg.zip");
  const std::int64_t needed = (2 << 20) + 6 + update::kRoomMargin;
  expectRefused("apply", update::roomShortMessage(needed, free, os.process.directory));
  EXPECT_EQ(runDirectoryFiles(), before);
}

TEST(FullFilePath, DriveColonAndAFileName) {
  EXPECT_TRUE(base::isFullFilePath("C:\\Games\\Ride\\pkg.zip"));
  EXPECT_TRUE(base::isFullFilePath("d:/games/pkg.zip"));
  EXPECT_FALSE(base::isFullFilePath("\\\\server\\share\\pkg.zip"));
  EXPECT_FALSE(base::isFullFilePath("C:\\Games\\Ride\\")) << "empty package name";
  EXPECT_FALSE(base::isFullFilePath("1:\\x"));
  EXPECT_FALSE(base::isFullFilePath("pkg.zip"));
  EXPECT_TRUE(base::isFullFilePath("C:\\Games\\\xFA\x5C")) << "0x5C ends a character here";
  EXPECT_EQ(base::lastPathComponent("C:\\dir\\"), "dir\\");
  EXPECT_EQ(base::lastPathComponent("C:\\dir\\a.zip"), "a.zip");
  EXPECT_EQ(base::lastPathComponent("C:a.zip"), "a.zip");
  EXPECT_EQ(base::lastPathComponent("C:\\dir\\a"), "a") << "a name of one letter";
  EXPECT_EQ(base::lastPathComponent("C:\\\xB1\x5C"
                                    "a.zip"),
            "\xB1\x5C"
            "a.zip");
}

}  // namespace

// -- only what the folder lacks -------------------------------------------------

// A release packed as the publisher's tool packs it, with its list of
// entries, and served by nginx, which answers ranges as web servers do.
class PartialUpdateTest : public SignedHandoffTest {
 protected:
  void SetUp() override {
    SignedHandoffTest::SetUp();
    if (testing_support::NginxServer::binary().empty())
      GTEST_SKIP() << "nginx is not installed (scripts/setup.sh installs it)";
    nginx = std::make_unique<testing_support::NginxServer>(
        runDir().parent_path() / (runDir().filename().string() + "-nginx"));
    ASSERT_TRUE(nginx->start());
  }
  void TearDown() override {
    if (updateState().downloadObject)
      updateState().downloadObject->stopTask();
    nginx.reset();
    SignedHandoffTest::TearDown();
  }

  // Packs `files` (name, content) with the list, signs all three forms and
  // announces it; the package's bytes.
  std::string release(const std::vector<std::pair<std::string, std::string>>& files) {
    const std::filesystem::path source =
        runDir().parent_path() / (runDir().filename().string() + "-release");
    std::filesystem::remove_all(source);
    for (const auto& [name, content] : files) {
      std::filesystem::create_directories((source / name).parent_path());
      std::ofstream(source / name, std::ios::binary) << content;
    }
    publisher::host::HostTools host;
    std::ostringstream out, err;
    publisher::Tools tools = host.tools(out, err);
    const std::vector<publisher::TreeEntry> entries = tools.folders.read(source.string());
    const std::string path = (nginx->www() / "pkg.zip").string();
    publisher::writePackage(
        path, entries, [](auto&, auto&) {}, update::kEntryListFileName,
        publisher::entryListPlaceholder(entries));
    place = publisher::completeEntryList(path);
    std::filesystem::remove_all(source);
    const std::string bytes = testing_support::readBytes(path);
    announce(bytes, nginx->url("/pkg.zip"), secretKey);
    update::Release signedRelease =
        *update::announcedRelease(updateState().versionFields, updateState().pageAddress);
    signedRelease.entryList = place;
    auto& fields = updateState().versionFields;
    fields[update::kEntryList] = update::entryListPlaceText(place);
    fields[update::kSignatureWithEntries] = update::toBase64(
        update::signRelease(signedRelease, update::ReleaseForm::kWithEntries, secretKey));
    return bytes;
  }

  // The player's Yes, the window's part played until the hand-over.
  void fetch(const std::string& address) {
    controls.setEnabled(ui::name::kStartButton, false);
    updateState().versionFields[update::kProgramTitle] = "NewLauncher.exe";
    accept(address);
    // A partial update is several tasks, one after another.
    for (int waited = 0; waited < 20000 && flow().phase() == update::UpdatePhase::kDownloading;
         waited += 5) {
      while (const std::optional<ui::Notice> notice = controls.takeNotice())
        launcher->raise(ui::name::kPublishedVersion, ui::Event::Feedback,
                        {notice->first, notice->second});
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }
  void fetch() { fetch(nginx->url("/pkg.zip")); }

  // The entry `name` as the package's list places it.
  update::ListedEntry listed(const std::string& bytes, const std::string& name) const {
    const auto entries =
        update::parseEntryList(std::string_view(bytes).substr(place.offset, place.length));
    for (const update::ListedEntry& entry : entries.value())
      if (entry.name == name)
        return entry;
    ADD_FAILURE() << name << " is not listed";
    return {};
  }

  std::filesystem::file_time_type modified(const std::string& relative) const {
    return std::filesystem::last_write_time(runDir() / relative);
  }

  std::unique_ptr<testing_support::NginxServer> nginx;
  update::EntryListPlace place;
};

std::string levelBytes(std::uint32_t seed) {
  std::string bytes(300000, '\0');
  for (char& c : bytes)
    c = static_cast<char>((seed = seed * 1103515245u + 12345u) >> 16);
  return bytes;
}
const std::string kLevel = levelBytes(7);

TEST_F(PartialUpdateTest, OnlyTheEntriesThatDifferAreFetchedAndApplied) {
  writeFile("Data/level1.pak", kLevel);
  writeFile("Data/level2.pak", "old level two");
  writeFile("Data/damaged.pak", std::string(kLevel.size(), 'x'));  // same size, damaged
  const auto untouched = modified("Data/level1.pak");
  const std::string bytes = release({{"NewLauncher.exe", "MZ new"},
                                     {"Data/level1.pak", kLevel},
                                     {"Data/level2.pak", "new level two"},
                                     {"Data/damaged.pak", kLevel},
                                     {"Data/added.txt", "added"}});
  EXPECT_THROW(fetch(), ProgramEnded);
  EXPECT_EQ(testing_support::readBytes(runDir() / "NewLauncher.exe"), "MZ new");
  EXPECT_EQ(testing_support::readBytes(runDir() / "Data/level2.pak"), "new level two");
  EXPECT_TRUE(testing_support::readBytes(runDir() / "Data/damaged.pak") == kLevel);
  EXPECT_EQ(testing_support::readBytes(runDir() / "Data/added.txt"), "added");
  EXPECT_TRUE(testing_support::readBytes(runDir() / "Data/level1.pak") == kLevel);
  EXPECT_EQ(modified("Data/level1.pak"), untouched) << "an unchanged file is not touched";
  EXPECT_FALSE(exists("pkg.zip.entries"));
  EXPECT_FALSE(exists("pkg.zip"));
  EXPECT_FALSE(exists("tavoro-update.entries"));
  EXPECT_TRUE(os.messageBoxes.calls.empty());
  // The panel's size is what was fetched: not the unchanged level.
  const std::int64_t fetched = updateState().progress->totalSize;
  EXPECT_LT(fetched, static_cast<std::int64_t>(bytes.size() - kLevel.size()));
  EXPECT_GT(fetched, static_cast<std::int64_t>(kLevel.size()));
  EXPECT_EQ(updateState().progress->percent, 100);
}

TEST_F(PartialUpdateTest, AForgedByteInAFetchedEntryNeverReachesTheFolder) {
  writeFile("Data/level1.pak", kLevel);
  std::string bytes = release({{"NewLauncher.exe", "MZ new"},
                               {"Data/level1.pak", kLevel},
                               {"Data/level2.pak", levelBytes(8)}});
  // A byte amid level two's data (stored, as random bytes do not deflate):
  // the whole package is then fetched, and it fails its digest as a whole.
  const update::ListedEntry level2 = listed(bytes, "Data/level2.pak");
  bytes[level2.offset + level2.span / 2] ^= 0x20;
  std::ofstream(nginx->www() / "pkg.zip", std::ios::binary) << bytes;
  fetch();
  expectRefused("a forged byte");
  EXPECT_FALSE(exists("Data/level2.pak"));
  EXPECT_FALSE(exists("NewLauncher.exe"));
  EXPECT_FALSE(exists("pkg.zip.entries"));
}

// A forger who mends the entry's CRC in both its records gets past the
// ZIP reader: the list's digest of the content still keeps it out.
TEST_F(PartialUpdateTest, AForgedEntryWithItsCrcMendedNeverReachesTheFolder) {
  writeFile("Data/level1.pak", kLevel);
  std::string bytes = release({{"NewLauncher.exe", "MZ new"},
                               {"Data/level1.pak", kLevel},
                               {"Data/level2.pak", levelBytes(8)}});
  const update::ListedEntry level2 = listed(bytes, "Data/level2.pak");
  const auto field = [&](std::size_t at) {
    return static_cast<std::size_t>(static_cast<unsigned char>(bytes[at]) |
                                    static_cast<unsigned char>(bytes[at + 1]) << 8);
  };
  // Stored, as random bytes are: the data follows the local header.
  const std::size_t data =
      level2.offset + 30 + field(level2.offset + 26) + field(level2.offset + 28);
  std::string forged = levelBytes(8);
  forged[forged.size() / 2] ^= 0x20;
  bytes.replace(data, forged.size(), forged);
  const auto crc = static_cast<std::uint32_t>(
      crc32(0, reinterpret_cast<const Bytef*>(forged.data()), static_cast<uInt>(forged.size())));
  const std::string crcBytes{static_cast<char>(crc), static_cast<char>(crc >> 8),
                             static_cast<char>(crc >> 16), static_cast<char>(crc >> 24)};
  bytes.replace(level2.offset + 14, 4, crcBytes);
  // The directory's record of it: the last place its name stands.
  const std::size_t record = bytes.rfind("Data/level2.pak") - 46;
  ASSERT_EQ(bytes.compare(record, 4, std::string("PK\x01\x02", 4)), 0);
  bytes.replace(record + 16, 4, crcBytes);
  std::ofstream(nginx->www() / "pkg.zip", std::ios::binary) << bytes;
  fetch();
  expectRefused("a forged entry with its CRC mended");
  EXPECT_FALSE(exists("Data/level2.pak"));
  EXPECT_FALSE(exists("NewLauncher.exe"));
}

TEST_F(PartialUpdateTest, AServerThatIgnoresRangesSendsTheWholePackage) {
  writeFile("Data/level1.pak", kLevel);
  const std::string bytes = release({{"NewLauncher.exe", "MZ new"},
                                     {"Data/level1.pak", kLevel},
                                     {"Data/level2.pak", "new level two"}});
  server.respond("/pkg.zip", served(bytes));
  announce(bytes, url("/pkg.zip"), secretKey);
  update::Release signedRelease =
      *update::announcedRelease(updateState().versionFields, updateState().pageAddress);
  signedRelease.entryList = place;
  auto& fields = updateState().versionFields;
  fields[update::kSignatureWithEntries] = update::toBase64(
      update::signRelease(signedRelease, update::ReleaseForm::kWithEntries, secretKey));
  EXPECT_THROW(fetch(url("/pkg.zip")), ProgramEnded);
  EXPECT_EQ(testing_support::readBytes(runDir() / "Data/level2.pak"), "new level two");
  EXPECT_EQ(testing_support::readBytes(runDir() / "NewLauncher.exe"), "MZ new");
  EXPECT_EQ(updateState().progress->totalSize, static_cast<std::int64_t>(bytes.size()));
  // The list's range, answered whole, then the package.
  EXPECT_EQ(server.requests().size(), 2u);
  EXPECT_TRUE(os.messageBoxes.calls.empty());
}

// The check of a folder of many files tells the panel each percent once:
// on Windows every telling repaints the panel.
TEST_F(PartialUpdateTest, TheFolderCheckTellsThePanelEachPercentOnce) {
  std::vector<std::pair<std::string, std::string>> files = {{"NewLauncher.exe", "MZ new"}};
  for (int i = 0; i < 600; ++i) {
    const std::string name = "Data/small" + std::to_string(i) + ".txt";
    writeFile(name, std::to_string(i));
    files.emplace_back(name, std::to_string(i));
  }
  release(files);
  EXPECT_THROW(fetch(), ProgramEnded);
  EXPECT_EQ(testing_support::readBytes(runDir() / "NewLauncher.exe"), "MZ new");
  EXPECT_LT(controls.state(ui::name::kPercentLabel).writes, 250);
  EXPECT_EQ(controls.state(ui::name::kProgressBar).position, 100);
}

// A release signed with the publisher's second key is taken in part too,
// not sent whole: the list's signature is checked as the package's is.
TEST_F(PartialUpdateTest, AReleaseOfTheBackupKeyIsFetchedInPart) {
  update::PublicKey mainKey{};
  update::SecretKey mainSecret{};
  crypto_sign_keypair(mainKey.data(), mainSecret.data());
  updateState().backupKey = updateState().publicKey;
  updateState().publicKey = update::toBase64(mainKey);
  writeFile("Data/level1.pak", kLevel);
  const std::string bytes = release({{"NewLauncher.exe", "MZ new"},
                                     {"Data/level1.pak", kLevel},
                                     {"Data/level2.pak", "new level two"}});
  EXPECT_THROW(fetch(), ProgramEnded);
  EXPECT_EQ(testing_support::readBytes(runDir() / "Data/level2.pak"), "new level two");
  EXPECT_LT(updateState().progress->totalSize,
            static_cast<std::int64_t>(bytes.size() - kLevel.size()));
}

// A disk short of room for the whole update is told so before a byte of
// the package is asked for: the list is not fetched either.
TEST_F(PartialUpdateTest, ADiskShortOfRoomForTheWholeUpdateAsksForNothing) {
  const std::string bytes = release({{"NewLauncher.exe", "MZ new"}, {"Data/level1.pak", kLevel}});
  updateState().versionFields[update::kUnpackedSize] = std::to_string(kLevel.size() + 6);
  const std::int64_t needed =
      update::roomNeeded(static_cast<std::int64_t>(bytes.size()), 0, kLevel.size() + 6);
  os.files.spaceFigure = needed - 1;
  fetch();
  ASSERT_EQ(os.messageBoxes.calls.size(), 1u);
  EXPECT_NE(os.messageBoxes.calls[0].text.find("磁盘空间不足"), std::string::npos);
  EXPECT_FALSE(exists("pkg.zip.entries"));
  EXPECT_FALSE(exists("NewLauncher.exe"));
  // Room to the byte: the list is fetched and only what differs follows.
  os.messageBoxes.calls.clear();
  os.files.spaceFigure = needed;
  EXPECT_THROW(fetch(), ProgramEnded);
  EXPECT_EQ(testing_support::readBytes(runDir() / "NewLauncher.exe"), "MZ new");
}
