#pragma once

// A file being written that must not outlive a failure: removed again unless
// it was kept, so a cut-off download or a damaged entry never stands where a
// complete file is expected.

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/files.h"

namespace update {

class PartialFile {
 public:
  // kAppendExisting takes over a partial file of an earlier run: its bytes
  // count as written, and it goes like a new one unless kept.
  enum class Creation { kReplaceExisting, kOnlyNew, kAppendExisting };

  // Creates the file (kOnlyNew: only where none of that name exists); see
  // opened(). A file this object did not create is never removed by it.
  PartialFile(platform::Files& files, std::string path,
              Creation creation = Creation::kReplaceExisting)
      : files_(files), path_(std::move(path)), out_(open(creation)), kept_(out_ == nullptr) {
    if (out_ != nullptr && creation == Creation::kAppendExisting)
      written_ = std::max<std::int64_t>(files_.size(path_), 0);
  }
  ~PartialFile() {
    out_.reset();
    if (!kept_)
      files_.remove(path_);
  }
  PartialFile(const PartialFile&) = delete;
  PartialFile& operator=(const PartialFile&) = delete;

  bool opened() const { return out_ != nullptr; }
  const std::string& path() const { return path_; }
  bool write(std::string_view data) {
    if (out_ == nullptr)
      return false;
    if (!out_->write(data.data(), data.size())) {
      writeError_ = files_.lastError();
      return false;
    }
    written_ += static_cast<std::int64_t>(data.size());
    return true;
  }
  // The system's code for the last write that failed; 0 before any.
  std::uint32_t writeError() const { return writeError_; }
  // Bytes the file holds, as far as this object knows.
  std::int64_t written() const { return written_; }
  // Empties the file to write it anew; false (and the file gone, unless
  // kept) when it cannot be reopened.
  bool restart() {
    out_.reset();
    out_ = files_.create(path_);
    written_ = 0;
    return out_ != nullptr;
  }
  // Flushes and closes; false when the data may not all have reached the disk.
  bool close() {
    const bool closed = out_ != nullptr && out_->close();
    out_.reset();
    return closed;
  }
  // The file stays when this object goes (it is complete, or moved away).
  void keep() { kept_ = true; }

 private:
  std::unique_ptr<platform::OutputFile> open(Creation creation) {
    switch (creation) {
      case Creation::kOnlyNew:
        return files_.createNew(path_);
      case Creation::kAppendExisting:
        return files_.openForAppend(path_);
      case Creation::kReplaceExisting:
        break;
    }
    return files_.create(path_);
  }

  platform::Files& files_;
  std::string path_;
  std::unique_ptr<platform::OutputFile> out_;
  bool kept_;
  std::int64_t written_ = 0;
  std::uint32_t writeError_ = 0;
};

}  // namespace update
