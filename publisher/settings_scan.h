#pragma once

// A program's bytes as the settings block checks read them: its size, the
// bytes at a place, and how often the block's tags occur. A launcher file
// is read in blocks as they stream by, keeping only its first block (the
// program's headers) and the settings block, so that memory stays bounded
// whatever the file's size.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "base/bytes.h"
#include "platform/files.h"
#include "publisher/refusal.h"
#include "update/package/release_signature.h"

namespace publisher {

// How often each tag field occurs in the program, and where the first of
// this layout's starts.
struct TagCounts {
  std::size_t current = 0;  // the block's tag of this layout, in either kind
  std::size_t earlier = 0;  // the tag of launchers that cannot carry their version
  std::uint64_t firstCurrent = 0;
};

// The release signature a launcher checks, told by its block's tag field
// (update::kSettingsTagSize bytes).
update::ReleaseForm releaseFormOfTag(const std::uint8_t* tag);
// True for the block of launchers that carry a backup key and compare
// numbered versions by number; the others compare versions as text.
bool carriesBackupKey(const std::uint8_t* tag);

class ProgramBytes {
 public:
  virtual ~ProgramBytes() = default;
  virtual std::uint64_t size() const = 0;
  // `count` bytes from `offset`; fewer only where the program ends.
  virtual base::Bytes at(std::uint64_t offset, std::size_t count) = 0;
  // Both tags counted over all of the program.
  virtual TagCounts tags() = 0;
};

// The whole program in memory.
class ProgramInMemory final : public ProgramBytes {
 public:
  explicit ProgramInMemory(const base::Bytes& bytes) : bytes_(bytes) {}
  std::uint64_t size() const override { return bytes_.size(); }
  base::Bytes at(std::uint64_t offset, std::size_t count) override;
  TagCounts tags() override;

 private:
  const base::Bytes& bytes_;
};

// The file could not be read, or not to its end.
class ReadFailed : public Refusal {
 public:
  using Refusal::Refusal;
};

// A file read from its start as often as needed: once, in blocks, to count
// the tags; again only for bytes beyond its first block and the settings
// block, which no program built as a launcher has the checks look at.
class StreamedProgram final : public ProgramBytes {
 public:
  using Open = std::function<std::unique_ptr<platform::InputFile>()>;
  // Reads the file's first block; throws ReadFailed when it cannot.
  StreamedProgram(Open open, std::uint64_t size);
  std::uint64_t size() const override { return size_; }
  base::Bytes at(std::uint64_t offset, std::size_t count) override;
  // Reads the rest of the file, once; throws ReadFailed when it ends early.
  TagCounts tags() override;

 private:
  Open open_;
  std::uint64_t size_;
  std::unique_ptr<platform::InputFile> input_;
  base::Bytes head_;
  std::optional<TagCounts> tags_;
  base::Bytes block_;  // from tags_->firstCurrent on
};

}  // namespace publisher
