// Starting a program by its path and asking the child about its windows,
// on the real API: a space in the path never starts another program, and
// only the child's own visible top-level window is its sign.

#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <string>

#include "platform/win32/win32_services.h"
#include "tests/win32/scratch_folder.h"

namespace {

std::string besideThisTest(const char* name) {
  char path[MAX_PATH] = "";
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string dir(path);
  return dir.substr(0, dir.rfind('\\') + 1) + name;
}

std::string readText(const std::string& path) {
  std::string text;
  HANDLE file =
      CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return text;
  char buffer[1024];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0)
    text.append(buffer, got);
  CloseHandle(file);
  return text;
}

template <typename Condition>
bool waitFor(Condition condition, DWORD milliseconds = 20000) {
  const DWORD start = GetTickCount();
  while (!condition()) {
    if (GetTickCount() - start > milliseconds)
      return false;
    Sleep(20);
  }
  return true;
}

bool ended(platform::ChildProcess& child) {
  return waitFor([&] { return child.exitCode() != -1; });
}

// Copies the recorder to `program` and to `decoy`, the path of the first
// words of `program` that a command line split at its spaces would run.
void placeRecorder(const std::string& program, const std::string& decoy) {
  const std::string recorder = besideThisTest("run_recorder.exe");
  ASSERT_TRUE(CopyFileA(recorder.c_str(), program.c_str(), FALSE)) << program;
  ASSERT_TRUE(CopyFileA(recorder.c_str(), decoy.c_str(), FALSE)) << decoy;
}

void expectOnlyTheProgramRuns(const std::string& program, const std::string& decoy) {
  auto child = platform::win32::processes().start(program, 1);
  ASSERT_NE(child, nullptr) << program;
  ASSERT_TRUE(ended(*child));
  EXPECT_EQ(child->exitCode(), 0);
  EXPECT_EQ(readText(program + ".ran"), "\"" + program + "\"") << "run with its quoted path";
  EXPECT_FALSE(test::exists(decoy + ".ran")) << "the decoy ran";
}

TEST(Win32Processes, AProgramInAFolderWithSpacesRunsNotTheProgramOfItsFirstWords) {
  const test::ScratchFolder folder("tavoro-start");
  const std::string program = folder.make("VR Games\\Star Sea\\new.exe");
  const std::string decoy = folder.path() + "\\VR.exe";
  ASSERT_NO_FATAL_FAILURE(placeRecorder(program, decoy));
  expectOnlyTheProgramRuns(program, decoy);
}

TEST(Win32Processes, AProgramInAChineseFolderWithSpacesRunsByItsCodePage936Path) {
  ASSERT_EQ(GetACP(), 936u);
  const test::ScratchFolder folder("tavoro-start-cn");
  const std::string program = folder.make("星海 漫游\\游戏 启动.exe");
  const std::string decoy = folder.path() + "\\星海.exe";
  ASSERT_NO_FATAL_FAILURE(placeRecorder(program, decoy));
  expectOnlyTheProgramRuns(program, decoy);
}

TEST(Win32Processes, NothingStartsFromAMissingPathOrAFolder) {
  const test::ScratchFolder folder("tavoro-start-none");
  EXPECT_EQ(platform::win32::processes().start(folder.path() + "\\missing.exe", 1), nullptr);
  EXPECT_EQ(platform::win32::processes().start(folder.path(), 1), nullptr);
  EXPECT_EQ(platform::win32::processes().start("", 1), nullptr);
}

// The window probe as a child, its windows described by its environment,
// which the child inherits; closed with the test.
class Probe {
 public:
  explicit Probe(const char* windowClass, const char* showAfterMs = "0",
                 const char* childClass = nullptr)
      : windowClass_(windowClass) {
    SetEnvironmentVariableA("TAVORO_PROBE_CLASS", windowClass);
    SetEnvironmentVariableA("TAVORO_PROBE_SHOW_AFTER_MS", showAfterMs);
    SetEnvironmentVariableA("TAVORO_PROBE_CHILD_CLASS", childClass);
    child_ = platform::win32::processes().start(besideThisTest("window_probe.exe"), 1);
  }
  ~Probe() {
    if (HWND window = FindWindowA(windowClass_, nullptr))
      PostMessageA(window, WM_CLOSE, 0, 0);
    if (child_)
      ended(*child_);
  }
  platform::ChildProcess& child() { return *child_; }
  bool started() const { return child_ != nullptr; }
  // Created, shown or not.
  bool waitCreated() {
    return waitFor([&] { return FindWindowA(windowClass_, nullptr) != nullptr; });
  }

 private:
  const char* windowClass_;
  std::unique_ptr<platform::ChildProcess> child_;
};

TEST(Win32Processes, AChildShowsAWindowOfAClassOnlyOnceItIsVisible) {
  Probe probe("TavoroProbeLate", "1500");
  ASSERT_TRUE(probe.started());
  ASSERT_TRUE(probe.waitCreated());
  EXPECT_FALSE(probe.child().showsWindowOfClass("TavoroProbeLate")) << "created, not yet shown";
  EXPECT_TRUE(waitFor([&] { return probe.child().showsWindowOfClass("TavoroProbeLate"); }));
  EXPECT_FALSE(probe.child().showsWindowOfClass("TavoroProbeOther"));
  EXPECT_FALSE(probe.child().showsWindowOfClass("TavoroProbeLat")) << "a part of the name";
  EXPECT_FALSE(probe.child().showsWindowOfClass(""));
}

TEST(Win32Processes, AHiddenWindowOrAChildWindowOfTheClassIsNoSign) {
  Probe hidden("TavoroProbeHidden", "never");
  ASSERT_TRUE(hidden.started());
  ASSERT_TRUE(hidden.waitCreated());
  Probe parent("TavoroProbeParent", "0", "TavoroProbeInner");
  ASSERT_TRUE(parent.started());
  ASSERT_TRUE(waitFor([&] { return parent.child().showsWindowOfClass("TavoroProbeParent"); }));

  EXPECT_FALSE(hidden.child().showsWindowOfClass("TavoroProbeHidden"));
  EXPECT_FALSE(parent.child().showsWindowOfClass("TavoroProbeInner")) << "not top-level";
}

TEST(Win32Processes, AWindowOfTheClassThatAnotherProcessShowsIsAFakedSign) {
  Probe expected("TavoroProbeOwn");
  Probe faker("TavoroProbeSign");
  ASSERT_TRUE(expected.started());
  ASSERT_TRUE(faker.started());
  ASSERT_TRUE(waitFor([&] { return expected.child().showsWindowOfClass("TavoroProbeOwn"); }));
  ASSERT_TRUE(waitFor([&] { return faker.child().showsWindowOfClass("TavoroProbeSign"); }));

  EXPECT_FALSE(expected.child().showsWindowOfClass("TavoroProbeSign"));
  EXPECT_FALSE(faker.child().showsWindowOfClass("TavoroProbeOwn"));
}

TEST(Win32Processes, AChildThatEndedShowsNothing) {
  auto probe = std::make_unique<Probe>("TavoroProbeGone");
  ASSERT_TRUE(probe->started());
  ASSERT_TRUE(waitFor([&] { return probe->child().showsWindowOfClass("TavoroProbeGone"); }));
  PostMessageA(FindWindowA("TavoroProbeGone", nullptr), WM_CLOSE, 0, 0);
  ASSERT_TRUE(ended(probe->child()));
  EXPECT_EQ(probe->child().exitCode(), 0);
  EXPECT_FALSE(probe->child().showsWindowOfClass("TavoroProbeGone"));
}

}  // namespace
