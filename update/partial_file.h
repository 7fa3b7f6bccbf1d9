#pragma once

// A file being written that must not outlive a failure: removed again unless
// it was kept, so a cut-off download or a damaged entry never stands where a
// complete file is expected.

#include <memory>
#include <string>
#include <string_view>

#include "platform/services.h"

namespace update {

class PartialFile {
 public:
  enum class Creation { kReplaceExisting, kOnlyNew };

  // Creates the file (kOnlyNew: only where none of that name exists); see
  // opened(). A file this object did not create is never removed by it.
  PartialFile(platform::Files& files, std::string path,
              Creation creation = Creation::kReplaceExisting)
      : files_(files),
        path_(std::move(path)),
        out_(creation == Creation::kOnlyNew ? files_.createNew(path_) : files_.create(path_)),
        kept_(out_ == nullptr) {}
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
    return out_ != nullptr && out_->write(data.data(), data.size());
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
  platform::Files& files_;
  std::string path_;
  std::unique_ptr<platform::OutputFile> out_;
  bool kept_;
};

}  // namespace update
