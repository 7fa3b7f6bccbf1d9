#pragma once

// Who hears trace(). The program's entry adds listeners before anything
// else runs; without one a mark or a note does nothing, so the shipped
// launcher records and writes nothing. Listeners are called one at a time,
// in the order they were added, on the thread that traced; a listener must
// not trace itself.

#include <string>

namespace platform::win32 {

using MarkListener = void (*)(const char* step);
using NoteListener = void (*)(const char* topic, const std::string& text);

// False when the fixed list (four of each kind) is full. Not for threads
// that may be tracing already: the list is read without a lock.
bool addMarkListener(MarkListener listener);
bool addNoteListener(NoteListener listener);

// True when a note would reach someone: a caller skips composing one that
// nobody hears.
bool hasNoteListeners();

}  // namespace platform::win32
