#include "publisher/settings_scan.h"

#include <algorithm>
#include <array>
#include <string>

#include "update/settings_block.h"

namespace publisher {
namespace {

// What is read at a time; the first block also holds the program's headers.
constexpr std::size_t kBlockSize = 64 * 1024;

// A tag, reversed at compile time: the literal itself is only read while
// compiling, so this tool's binary never holds a tag in one piece, and
// stamping the tool itself finds no block.
template <std::size_t N>
constexpr std::array<char, N - 1> reversed(const char (&tag)[N]) {
  std::array<char, N - 1> out{};
  for (std::size_t i = 0; i + 1 < N; ++i)
    out[i] = tag[N - 2 - i];
  return out;
}

// The tag field as a launcher holds it: the tag, zero-padded.
template <std::size_t N>
std::string tagField(const std::array<char, N>& reversedTag) {
  std::string field(reversedTag.rbegin(), reversedTag.rend());
  field.resize(update::kSettingsTagSize, '\0');
  return field;
}

constexpr auto kReversedTag = reversed(TAVORO_SETTINGS_BLOCK_TAG);
constexpr auto kReversedTagWithOneKey = reversed(TAVORO_SETTINGS_BLOCK_TAG_WITH_ONE_KEY);
constexpr auto kReversedTagWithoutPageSigned =
    reversed(TAVORO_SETTINGS_BLOCK_TAG_WITHOUT_PAGE_SIGNED);
constexpr auto kReversedTagWithoutVersion = reversed(TAVORO_SETTINGS_BLOCK_TAG_WITHOUT_VERSION);

// Counts both tags in bytes given in order, in pieces of any size: a tag
// split between two pieces counts once. Keeps the settings block's bytes
// from the first tag of this release on.
class TagScan {
 public:
  TagScan()
      : current_(tagField(kReversedTag)),
        withOneKey_(tagField(kReversedTagWithOneKey)),
        withoutPage_(tagField(kReversedTagWithoutPageSigned)),
        earlier_(tagField(kReversedTagWithoutVersion)) {}

  void add(const std::uint8_t* data, std::size_t size) {
    for (std::size_t done = 0; done < size; done += kBlockSize)
      addPiece(data + done, std::min(kBlockSize, size - done));
  }
  const TagCounts& counts() const { return counts_; }
  base::Bytes& kept() { return kept_; }

 private:
  void addPiece(const std::uint8_t* data, std::size_t size) {
    // The window: what may still start a tag (one byte short of a whole
    // field), then the new piece.
    window_.append(reinterpret_cast<const char*>(data), size);
    const auto count = [this](const std::string& tag, auto&& found) {
      for (std::size_t at = window_.find(tag); at != std::string::npos;
           at = window_.find(tag, at + 1))
        found(windowStart_ + at);
    };
    // Either block of this layout: the launcher's kind is read off its tag.
    const auto current = [this](std::uint64_t at) {
      if (counts_.current++ == 0)
        counts_.firstCurrent = at;
    };
    count(current_, current);
    count(withOneKey_, current);
    count(withoutPage_, current);
    count(earlier_, [this](std::uint64_t) { ++counts_.earlier; });
    keep();
    const std::size_t carried = std::min(window_.size(), current_.size() - 1);
    windowStart_ += window_.size() - carried;
    window_.erase(0, window_.size() - carried);
  }

  // The window's bytes of the settings block not kept yet.
  void keep() {
    if (counts_.current == 0 || kept_.size() == sizeof(update::SettingsBlock))
      return;
    const std::uint64_t from = counts_.firstCurrent + kept_.size();
    const std::uint64_t to = std::min<std::uint64_t>(
        windowStart_ + window_.size(), counts_.firstCurrent + sizeof(update::SettingsBlock));
    if (to > from)
      kept_.insert(kept_.end(), window_.begin() + static_cast<std::ptrdiff_t>(from - windowStart_),
                   window_.begin() + static_cast<std::ptrdiff_t>(to - windowStart_));
  }

  const std::string current_;
  const std::string withOneKey_;
  const std::string withoutPage_;
  const std::string earlier_;
  std::string window_;
  std::uint64_t windowStart_ = 0;
  TagCounts counts_;
  base::Bytes kept_;
};

// Reads until `count` bytes are in or the file ends; false on an error.
bool readUpTo(platform::InputFile& input, std::uint8_t* buffer, std::size_t count,
              std::size_t& got) {
  got = 0;
  while (got < count) {
    const long read = input.read(buffer + got, count - got);
    if (read < 0)
      return false;
    if (read == 0)
      break;
    got += static_cast<std::size_t>(read);
  }
  return true;
}

// The bytes of `held`, which starts at `start`, from `offset` on; nothing
// when it does not hold all of them.
std::optional<base::Bytes> slice(const base::Bytes& held, std::uint64_t start, std::uint64_t offset,
                                 std::size_t count) {
  if (offset < start || offset - start + count > held.size())
    return std::nullopt;
  const auto first = held.begin() + static_cast<std::ptrdiff_t>(offset - start);
  return base::Bytes(first, first + static_cast<std::ptrdiff_t>(count));
}

}  // namespace

base::Bytes ProgramInMemory::at(std::uint64_t offset, std::size_t count) {
  if (offset >= bytes_.size())
    return {};
  count = static_cast<std::size_t>(std::min<std::uint64_t>(count, bytes_.size() - offset));
  const auto first = bytes_.begin() + static_cast<std::ptrdiff_t>(offset);
  return base::Bytes(first, first + static_cast<std::ptrdiff_t>(count));
}

TagCounts ProgramInMemory::tags() {
  TagScan scan;
  scan.add(bytes_.data(), bytes_.size());
  return scan.counts();
}

StreamedProgram::StreamedProgram(Open open, std::uint64_t size)
    : open_(std::move(open)), size_(size), input_(open_()) {
  head_.resize(static_cast<std::size_t>(std::min<std::uint64_t>(size_, kBlockSize)));
  std::size_t got = 0;
  if (!input_ || !readUpTo(*input_, head_.data(), head_.size(), got) || got != head_.size())
    throw ReadFailed(Message::kFileNotRead, {});
}

base::Bytes StreamedProgram::at(std::uint64_t offset, std::size_t count) {
  if (offset >= size_)
    return {};
  count = static_cast<std::size_t>(std::min<std::uint64_t>(count, size_ - offset));
  if (std::optional<base::Bytes> held = slice(head_, 0, offset, count))
    return *held;
  // What the scan kept of the settings block (nothing when it found none).
  if (tags_) {
    if (std::optional<base::Bytes> held = slice(block_, tags_->firstCurrent, offset, count))
      return *held;
  }
  // Read again from the start: the file is read, never sought in.
  const std::unique_ptr<platform::InputFile> again = open_();
  base::Bytes bytes(kBlockSize);
  std::size_t got = 0;
  for (std::uint64_t skipped = 0; again && skipped < offset; skipped += got) {
    if (!readUpTo(*again, bytes.data(),
                  static_cast<std::size_t>(std::min<std::uint64_t>(kBlockSize, offset - skipped)),
                  got) ||
        got == 0)
      throw ReadFailed(Message::kFileNotReadAgain, {});
  }
  bytes.resize(count);
  if (!again || !readUpTo(*again, bytes.data(), count, got) || got != count)
    throw ReadFailed(Message::kFileNotReadAgain, {});
  return bytes;
}

TagCounts StreamedProgram::tags() {
  if (tags_)
    return *tags_;
  TagScan scan;
  scan.add(head_.data(), head_.size());
  std::uint64_t total = head_.size();
  base::Bytes buffer(kBlockSize);
  for (std::size_t got = 0; total < size_; total += got) {
    const auto wanted =
        static_cast<std::size_t>(std::min<std::uint64_t>(kBlockSize, size_ - total));
    if (!readUpTo(*input_, buffer.data(), wanted, got) || got == 0)
      throw ReadFailed(Message::kFileEndedEarly, {std::to_string(size_)});
    scan.add(buffer.data(), got);
  }
  block_ = std::move(scan.kept());
  tags_ = scan.counts();
  input_.reset();
  return *tags_;
}

bool carriesBackupKey(const std::uint8_t* tag) {
  const std::string field = tagField(kReversedTag);
  return std::equal(field.begin(), field.end(), tag);
}

update::ReleaseForm releaseFormOfTag(const std::uint8_t* tag) {
  const std::string field = tagField(kReversedTagWithoutPageSigned);
  return std::equal(field.begin(), field.end(), tag) ? update::ReleaseForm::kWithoutPage
                                                     : update::ReleaseForm::kWithPage;
}

}  // namespace publisher
