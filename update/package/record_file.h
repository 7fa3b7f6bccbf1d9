#pragma once

// Reading one of the update's small record files (the apply journal, the
// kept package) with a bound: such a file lies in the game folder, where
// anything may have been written under its name, and none of ours is ever
// longer than its bound.

#include <cstddef>
#include <string>

#include "base/bytes.h"
#include "platform/files.h"

namespace update {

enum class RecordRead {
  kRead,
  // Longer than the bound: no record of ours, whatever it holds.
  kTooLong,
  // Missing, or the system would not hand it over whole.
  kUnreadable,
};

struct RecordBytes {
  RecordRead status = RecordRead::kUnreadable;
  // The whole file when kRead; empty otherwise.
  base::Bytes bytes;
};

// At most `maxBytes` bytes are ever held, and one more is read to know that
// the file ends there.
RecordBytes readRecordFile(platform::Files& files, const std::string& path, std::size_t maxBytes);

}  // namespace update
