#pragma once

// The host's real files, watched while the unpacker works on them: a change
// outside one folder aborts at once, and the files it finished (moved into
// place, or to a backup name) are remembered, so a harness can check
// afterwards that none is lost.

#include <filesystem>
#include <set>

#include "fuzz/harness.h"
#include "platform/host/host_services.h"

namespace fuzz {

class WatchedFiles final : public platform::Files {
 public:
  explicit WatchedFiles(std::filesystem::path folder) : folder_(std::move(folder)) {}

  // Host paths of every file a replace moved into place.
  const std::set<std::filesystem::path>& finished() const { return finished_; }

  bool exists(const std::string& path) override { return files_.exists(path); }
  base::Bytes readAll(const std::string& path) override { return files_.readAll(path); }
  bool remove(const std::string& path) override { return files_.remove(inside(path)); }
  bool move(const std::string& from, const std::string& to) override {
    const bool moved = files_.move(inside(from), inside(to));
    if (moved)
      finished_.insert(hostPathOf(to));
    return moved;
  }
  bool setAttributes(const std::string& path, unsigned attributes) override {
    return files_.setAttributes(inside(path), attributes);
  }
  std::vector<std::string> findFiles(const std::string& directory,
                                     const std::string& pattern) override {
    return files_.findFiles(directory, pattern);
  }
  std::unique_ptr<platform::OutputFile> create(const std::string& path) override {
    return files_.create(inside(path));
  }
  std::unique_ptr<platform::OutputFile> createNew(const std::string& path) override {
    return files_.createNew(inside(path));
  }
  std::unique_ptr<platform::OutputFile> openForAppend(const std::string& path) override {
    return files_.openForAppend(inside(path));
  }
  std::unique_ptr<platform::InputFile> openForReading(const std::string& path) override {
    return files_.openForReading(path);
  }
  bool createDirectory(const std::string& path) override {
    return files_.createDirectory(inside(path));
  }
  bool isDirectory(const std::string& path) override { return files_.isDirectory(path); }
  bool replace(const std::string& from, const std::string& to) override {
    const bool replaced = files_.replace(inside(from), inside(to));
    if (replaced)
      finished_.insert(hostPathOf(to));
    return replaced;
  }
  std::int64_t size(const std::string& path) override { return files_.size(path); }
  bool sameFile(const std::string& a, const std::string& b) override {
    return files_.sameFile(a, b);
  }
  bool removeDirectory(const std::string& path) override {
    return files_.removeDirectory(inside(path));
  }
  bool isInUse(const std::string& path) override { return files_.isInUse(path); }
  std::uint32_t lastError() override { return files_.lastError(); }
  std::int64_t availableSpace(const std::string& directory) override {
    return files_.availableSpace(directory);
  }

 private:
  static std::filesystem::path hostPathOf(const std::string& path) {
    return std::filesystem::path(platform::host::hostPath(path)).lexically_normal();
  }

  const std::string& inside(const std::string& path) const {
    const std::filesystem::path relative = hostPathOf(path).lexically_relative(folder_);
    require(!relative.empty() && *relative.begin() != "..",
            "the unpacker changes nothing outside its folder");
    return path;
  }

  platform::host::LocalFiles files_;
  std::filesystem::path folder_;
  std::set<std::filesystem::path> finished_;
};

}  // namespace fuzz
