#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <set>
#include <vector>

#include "base/cp936.h"
#include "platform/host/host_services.h"

namespace platform::host {
namespace {

namespace fs = std::filesystem;

// "*" and "?" wildcards, letter case ignored as the Windows file system does.
bool matches(const char* pattern, const char* name) {
  if (*pattern == '\0')
    return *name == '\0';
  if (*pattern == '*') {
    for (const char* rest = name;; ++rest) {
      if (matches(pattern + 1, rest))
        return true;
      if (*rest == '\0')
        return false;
    }
  }
  if (*name == '\0')
    return false;
  if (*pattern != '?' && base::lowerAsciiLetter(*pattern) != base::lowerAsciiLetter(*name))
    return false;
  return matches(pattern + 1, name + 1);
}

constexpr unsigned kReadOnlyAttribute = 0x1;  // FILE_ATTRIBUTE_READONLY

// The Windows codes a refusal is reported with.
constexpr std::uint32_t kErrorFileNotFound = 2;
constexpr std::uint32_t kErrorAccessDenied = 5;
constexpr std::uint32_t kErrorSharingViolation = 32;
constexpr std::uint32_t kErrorDiskFull = 112;
constexpr std::uint32_t kErrorAlreadyExists = 183;

thread_local std::uint32_t t_lastError = 0;

// Records why an operation failed; false, for the caller to return.
bool failWith(std::uint32_t code) {
  t_lastError = code;
  return false;
}

std::uint32_t codeOfErrno(int number) {
  switch (number) {
    case ENOENT:
      return kErrorFileNotFound;
    case ENOSPC:
      return kErrorDiskFull;
    case EEXIST:
      return kErrorAlreadyExists;
    default:
      return kErrorAccessDenied;
  }
}

struct HeldFiles {
  std::mutex mutex;
  std::multiset<std::string> paths;
};

HeldFiles& heldFiles() {
  static HeldFiles held;
  return held;
}

std::string heldKey(const std::string& path) {
  return fs::absolute(hostPath(path)).lexically_normal().string();
}

bool isHeld(const std::string& path) {
  HeldFiles& held = heldFiles();
  std::lock_guard<std::mutex> lock(held.mutex);
  return held.paths.count(heldKey(path)) != 0;
}

bool isReadOnly(const std::string& path) {
  struct stat info {};
  return ::stat(hostPath(path).c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
         (info.st_mode & S_IWUSR) == 0;
}

}  // namespace

std::shared_ptr<void> LocalFiles::holdWithoutSharing(const std::string& path) {
  const std::string key = heldKey(path);
  {
    HeldFiles& held = heldFiles();
    std::lock_guard<std::mutex> lock(held.mutex);
    held.paths.insert(key);
  }
  return std::shared_ptr<void>(nullptr, [key](void*) {
    HeldFiles& held = heldFiles();
    std::lock_guard<std::mutex> lock(held.mutex);
    held.paths.erase(held.paths.find(key));
  });
}

bool LocalFiles::exists(const std::string& path) {
  std::error_code error;
  return !path.empty() && fs::exists(hostPath(path), error);
}

base::Bytes LocalFiles::readAll(const std::string& path) {
  std::error_code error;
  if (!fs::is_regular_file(hostPath(path), error))
    return {};
  std::ifstream file(hostPath(path), std::ios::binary);
  if (!file)
    return {};
  // In blocks: a character at a time takes seconds for a file of 64 MiB.
  base::Bytes bytes;
  std::vector<char> block(64 * 1024);
  while (file.read(block.data(), static_cast<std::streamsize>(block.size())) || file.gcount() > 0)
    bytes.insert(bytes.end(), block.data(), block.data() + file.gcount());
  return bytes;
}

bool LocalFiles::remove(const std::string& path) {
  std::error_code error;
  if (beforeChange && !beforeChange(path))
    return failWith(kErrorAccessDenied);
  if (!fs::is_regular_file(hostPath(path), error))
    return failWith(kErrorFileNotFound);
  if (isHeld(path))
    return failWith(kErrorSharingViolation);
  if (isReadOnly(path))
    return failWith(kErrorAccessDenied);
  return fs::remove(hostPath(path), error) || failWith(codeOfErrno(error.value()));
}

bool LocalFiles::move(const std::string& from, const std::string& to) {
  std::error_code error;
  if (beforeChange && !beforeChange(from))
    return failWith(kErrorAccessDenied);
  // MoveFile does not replace an existing file.
  if (fs::exists(hostPath(to), error))
    return failWith(kErrorAlreadyExists);
  if (isHeld(from))
    return failWith(kErrorSharingViolation);
  fs::rename(hostPath(from), hostPath(to), error);
  return !error || failWith(codeOfErrno(error.value()));
}

bool LocalFiles::setAttributes(const std::string& path, unsigned attributes) {
  std::error_code error;
  if (!fs::is_regular_file(hostPath(path), error))
    return exists(path);
  fs::permissions(
      hostPath(path), fs::perms::owner_write,
      attributes & kReadOnlyAttribute ? fs::perm_options::remove : fs::perm_options::add, error);
  return !error;
}

std::vector<std::string> LocalFiles::findFiles(const std::string& directory,
                                               const std::string& pattern) {
  std::vector<std::string> names;
  const std::string dir = hostPath(directory);
  DIR* listing = opendir(dir.empty() ? "." : dir.c_str());
  if (listing == nullptr)
    return names;
  // Directory order, as the system reports it.
  while (const dirent* entry = readdir(listing)) {
    const std::string name = entry->d_name;
    std::error_code error;
    if (name == "." || name == ".." || fs::is_directory(fs::path(dir) / name, error))
      continue;
    if (matches(pattern.c_str(), name.c_str()))
      names.push_back(name);
  }
  closedir(listing);
  return names;
}

namespace {

class StdOutputFile final : public OutputFile {
 public:
  StdOutputFile(std::FILE* file, std::shared_ptr<std::atomic<std::int64_t>> written,
                std::shared_ptr<std::atomic<std::int64_t>> limit)
      : file_(file), written_(std::move(written)), limit_(std::move(limit)) {}
  ~StdOutputFile() override { close(); }
  bool write(const void* data, std::size_t size) override {
    if (file_ == nullptr)
      return false;
    const auto bytes = static_cast<std::int64_t>(size);
    if (*written_ > *limit_ - bytes) {
      *limit_ = written_->load();  // full from now on, small writes too
      return failWith(kErrorDiskFull);
    }
    *written_ += bytes;
    return std::fwrite(data, 1, size, file_) == size || failWith(codeOfErrno(errno));
  }
  // A full disk often shows only here, when the buffered bytes go out.
  bool flush() override {
    return file_ != nullptr && ((std::fflush(file_) == 0 && ::fsync(::fileno(file_)) == 0) ||
                                failWith(codeOfErrno(errno)));
  }
  bool close() override {
    if (file_ == nullptr)
      return false;
    const bool ok = std::fclose(file_) == 0 || failWith(codeOfErrno(errno));
    file_ = nullptr;
    return ok;
  }

 private:
  std::FILE* file_;
  std::shared_ptr<std::atomic<std::int64_t>> written_;
  std::shared_ptr<std::atomic<std::int64_t>> limit_;
};

class PosixInputFile final : public InputFile {
 public:
  explicit PosixInputFile(int descriptor) : descriptor_(descriptor) {}
  ~PosixInputFile() override { ::close(descriptor_); }
  PosixInputFile(const PosixInputFile&) = delete;
  PosixInputFile& operator=(const PosixInputFile&) = delete;
  long read(void* buffer, std::size_t size) override {
    ssize_t got;
    do {
      got = ::read(descriptor_, buffer, size);
    } while (got < 0 && errno == EINTR);
    return static_cast<long>(got);
  }

 private:
  int descriptor_;
};

}  // namespace

std::unique_ptr<InputFile> LocalFiles::openForReading(const std::string& path) {
  const int descriptor = ::open(hostPath(path).c_str(), O_RDONLY | O_CLOEXEC);
  if (descriptor < 0)
    return nullptr;
  return std::make_unique<PosixInputFile>(descriptor);
}

std::unique_ptr<OutputFile> LocalFiles::open(const std::string& path, const char* mode) {
  if (isHeld(path)) {
    failWith(kErrorSharingViolation);
    return nullptr;
  }
  if (isReadOnly(path)) {
    failWith(kErrorAccessDenied);
    return nullptr;
  }
  std::FILE* file = std::fopen(hostPath(path).c_str(), mode);
  if (file == nullptr) {
    failWith(codeOfErrno(errno));
    return nullptr;
  }
  return std::make_unique<StdOutputFile>(file, bytesWritten_, writeLimit_);
}

std::unique_ptr<OutputFile> LocalFiles::create(const std::string& path) {
  return open(path, "wb");
}

std::unique_ptr<OutputFile> LocalFiles::createNew(const std::string& path) {
  return open(path, "wbx");  // O_EXCL: fails where a file exists
}

std::unique_ptr<OutputFile> LocalFiles::openForAppend(const std::string& path) {
  std::error_code error;
  if (!fs::is_regular_file(hostPath(path), error))
    return nullptr;  // "ab" would create it
  return open(path, "ab");
}

bool LocalFiles::sameFile(const std::string& a, const std::string& b) {
  struct stat first {};
  struct stat second {};
  return ::stat(hostPath(a).c_str(), &first) == 0 && ::stat(hostPath(b).c_str(), &second) == 0 &&
         first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

bool LocalFiles::createDirectory(const std::string& path) {
  std::error_code error;
  fs::create_directory(hostPath(path), error);
  return fs::is_directory(hostPath(path), error);
}

bool LocalFiles::isDirectory(const std::string& path) {
  std::error_code error;
  return fs::is_directory(hostPath(path), error);
}

bool LocalFiles::replace(const std::string& from, const std::string& to) {
  std::error_code error;
  if (beforeChange && !beforeChange(from))
    return failWith(kErrorAccessDenied);
  // A file another program holds is neither moved nor replaced.
  if (isHeld(from) || isHeld(to))
    return failWith(kErrorSharingViolation);
  if (isReadOnly(to))
    return failWith(kErrorAccessDenied);
  fs::rename(hostPath(from), hostPath(to), error);
  return !error || failWith(codeOfErrno(error.value()));
}

std::int64_t LocalFiles::size(const std::string& path) {
  std::error_code error;
  if (!fs::is_regular_file(hostPath(path), error))
    return -1;
  const auto bytes = fs::file_size(hostPath(path), error);
  return error ? -1 : static_cast<std::int64_t>(bytes);
}

bool LocalFiles::removeDirectory(const std::string& path) {
  std::error_code error;
  if (beforeChange && !beforeChange(path))
    return false;
  // fs::remove takes an empty folder only, as RemoveDirectory does.
  return fs::is_directory(hostPath(path), error) && fs::remove(hostPath(path), error);
}

std::uint32_t LocalFiles::lastError() {
  return t_lastError;
}

std::int64_t LocalFiles::availableSpace(const std::string& directory) {
  if (spaceFigure)
    return *spaceFigure;
  struct statvfs disk {};
  const std::string folder = hostPath(directory);
  if (::statvfs(folder.empty() ? "." : folder.c_str(), &disk) != 0)
    return -1;
  return static_cast<std::int64_t>(disk.f_bavail) * static_cast<std::int64_t>(disk.f_frsize);
}

bool LocalFiles::isInUse(const std::string& path) {
  return exists(path) && isHeld(path);
}

}  // namespace platform::host
