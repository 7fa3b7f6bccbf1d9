#include <windows.h>

#include <array>
#include <cstddef>

#include "platform/win32/trace_listeners.h"
#include "platform/win32/win32_services.h"

namespace platform::win32 {
namespace {

template <typename Listener>
struct Listeners {
  std::array<Listener, 4> list{};
  std::size_t count = 0;

  bool add(Listener listener) {
    if (listener == nullptr || count == list.size())
      return false;
    list[count++] = listener;
    return true;
  }
};

Listeners<MarkListener> g_marks;
Listeners<NoteListener> g_notes;
// Notes come from the window's thread and the download's worker alike; one
// at a time keeps a log's lines whole and its count in order.
SRWLOCK g_calling = SRWLOCK_INIT;

class CallingOneAtATime {
 public:
  CallingOneAtATime() { AcquireSRWLockExclusive(&g_calling); }
  ~CallingOneAtATime() { ReleaseSRWLockExclusive(&g_calling); }
  CallingOneAtATime(const CallingOneAtATime&) = delete;
  CallingOneAtATime& operator=(const CallingOneAtATime&) = delete;
};

class Win32Trace final : public Trace {
 public:
  void mark(const char* step) override {
    if (g_marks.count == 0)
      return;
    const CallingOneAtATime one;
    for (std::size_t i = 0; i < g_marks.count; ++i)
      g_marks.list[i](step);
  }

  void note(const char* topic, const std::string& text) override {
    if (g_notes.count == 0)
      return;
    const CallingOneAtATime one;
    for (std::size_t i = 0; i < g_notes.count; ++i)
      g_notes.list[i](topic, text);
  }
};

}  // namespace

bool addMarkListener(MarkListener listener) {
  return g_marks.add(listener);
}

bool addNoteListener(NoteListener listener) {
  return g_notes.add(listener);
}

bool hasNoteListeners() {
  return g_notes.count > 0;
}

Trace& trace() {
  static Win32Trace instance;
  return instance;
}

}  // namespace platform::win32
