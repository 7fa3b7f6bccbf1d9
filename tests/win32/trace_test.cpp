// The Windows trace and its listeners: what reaches them, in which order,
// and that a change to a file name is noted while the file still stands as
// before (a kill point ends the process there).

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <thread>
#include <vector>

#include "platform/win32/trace_listeners.h"
#include "platform/win32/win32_services.h"

namespace {

std::vector<std::string> g_heard;
std::vector<const char*> g_steps;
// Whether the changed path existed when its note arrived.
std::vector<bool> g_pathThere;
int g_added = 0;

bool exists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void hearFirst(const char* topic, const std::string& text) {
  g_heard.push_back(std::string("1 ") + topic + ": " + text);
  if (std::string(topic) == "change")
    g_pathThere.push_back(exists(text.substr(text.find(' ') + 1)));
}

void hearSecond(const char* topic, const std::string& text) {
  g_heard.push_back(std::string("2 ") + topic + ": " + text);
}

void hearStep(const char* step) {
  g_steps.push_back(step);
}

bool addNotes(platform::win32::NoteListener listener) {
  const bool added = platform::win32::addNoteListener(listener);
  g_added += added ? 1 : 0;
  return added;
}

// The listeners every test hears through, added once; the first test runs
// before any.
void listen() {
  static const bool added =
      addNotes(&hearFirst) && addNotes(&hearSecond) && platform::win32::addMarkListener(&hearStep);
  ASSERT_TRUE(added);
  g_heard.clear();
  g_steps.clear();
  g_pathThere.clear();
}

std::string tempFolder(const char* name) {
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  const std::string dir =
      std::string(temp) + name + "-" + std::to_string(GetCurrentProcessId()) + "\\";
  CreateDirectoryA(dir.c_str(), nullptr);
  return dir;
}

TEST(Win32Trace, NobodyHearsUntilAListenerIsAddedThenEachHearsInTheOrderAdded) {
  ASSERT_EQ(g_added, 0) << "runs first";
  EXPECT_FALSE(platform::win32::hasNoteListeners());
  platform::win32::trace().mark("unheard");
  platform::win32::trace().note("update", "unheard");

  listen();
  EXPECT_TRUE(platform::win32::hasNoteListeners());
  static const char kStep[] = "window created";
  platform::win32::trace().mark(kStep);
  platform::win32::trace().note("update", "refused: 5.0");
  ASSERT_EQ(g_steps.size(), 1u);
  EXPECT_EQ(g_steps[0], kStep) << "the literal itself, not a copy";
  EXPECT_EQ(g_heard,
            (std::vector<std::string>{"1 update: refused: 5.0", "2 update: refused: 5.0"}));
  // The services' record hands out the same trace.
  EXPECT_EQ(platform::win32::services().trace, &platform::win32::trace());
}

TEST(Win32Trace, EveryChangeToAFileNameIsNotedBeforeItHappens) {
  listen();
  auto& files = platform::win32::files();
  const std::string dir = tempFolder("tavoro-trace");
  const std::string a = dir + "a.txt";
  const std::string b = dir + "b.txt";
  const std::string sub = dir + "sub";

  files.create(a);  // closed at once
  files.createNew(b);
  ASSERT_TRUE(files.replace(b, a));
  ASSERT_TRUE(files.move(a, b));
  ASSERT_TRUE(files.remove(b));
  ASSERT_TRUE(files.createDirectory(sub));
  ASSERT_TRUE(files.removeDirectory(sub));
  EXPECT_FALSE(files.remove(a));  // a failed change is noted as well

  std::vector<std::string> changes;
  for (const auto& line : g_heard) {
    if (line.rfind("1 ", 0) == 0)
      changes.push_back(line.substr(2));
  }
  EXPECT_EQ(changes, (std::vector<std::string>{
                         "change: create " + a, "change: createNew " + b, "change: replace " + b,
                         "change: move " + a, "change: remove " + b,
                         "change: removeDirectory " + sub, "change: remove " + a}));
  // create and createNew: not there yet; the others: still there.
  EXPECT_EQ(g_pathThere, (std::vector<bool>{false, false, true, true, true, true, false}));
  RemoveDirectoryA(dir.c_str());
}

TEST(Win32Trace, ReadingAndAppendingChangeNoName) {
  auto& files = platform::win32::files();
  const std::string dir = tempFolder("tavoro-trace-read");
  const std::string a = dir + "a.txt";
  files.create(a)->write("x", 1);
  listen();

  EXPECT_TRUE(files.exists(a));
  EXPECT_EQ(files.readAll(a).size(), 1u);
  EXPECT_TRUE(files.openForAppend(a)->write("y", 1));
  EXPECT_NE(files.openForReading(a), nullptr);
  EXPECT_EQ(files.size(a), 2);
  EXPECT_TRUE(files.createDirectory(dir));
  EXPECT_TRUE(g_heard.empty()) << g_heard.front();

  DeleteFileA(a.c_str());
  RemoveDirectoryA(dir.c_str());
}

int g_inside = 0;
bool g_overlapped = false;
int g_counted = 0;
bool g_counterAdded = false;

// Read, wait, write: two listeners running at once lose counts.
void countSlowly(const char* topic, const std::string&) {
  if (std::string(topic) != "count")
    return;
  if (++g_inside > 1)
    g_overlapped = true;
  const int seen = g_counted;
  for (volatile int spin = 0; spin < 2000; ++spin) {
  }
  g_counted = seen + 1;
  --g_inside;
}

TEST(Win32Trace, NotesFromTwoThreadsReachTheListenersOneAtATime) {
  listen();
  ASSERT_TRUE(addNotes(&countSlowly));
  g_counterAdded = true;
  auto noteMany = [] {
    for (int i = 0; i < 1000; ++i)
      platform::win32::trace().note("count", "x");
  };
  std::thread other(noteMany);
  noteMany();
  other.join();
  EXPECT_FALSE(g_overlapped);
  EXPECT_EQ(g_counted, 2000);
}

TEST(Win32Trace, TheListsOfListenersAreFixedAndRefuseNull) {
  listen();
  EXPECT_FALSE(platform::win32::addNoteListener(nullptr));
  EXPECT_FALSE(platform::win32::addMarkListener(nullptr));
  // Four of each kind; more are refused, not written past the list.
  while (g_added < 4)
    ASSERT_TRUE(addNotes(&hearSecond));
  EXPECT_FALSE(addNotes(&hearSecond));
  for (int i = 0; i < 3; ++i)
    ASSERT_TRUE(platform::win32::addMarkListener(&hearStep));
  EXPECT_FALSE(platform::win32::addMarkListener(&hearStep));

  platform::win32::trace().note("update", "t");
  platform::win32::trace().mark("shown");
  // The counter hears only its own topic.
  EXPECT_EQ(g_heard.size(), g_counterAdded ? 3u : 4u);
  EXPECT_EQ(g_steps.size(), 4u);
}

}  // namespace
