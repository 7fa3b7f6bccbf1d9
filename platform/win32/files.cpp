#include <algorithm>
#include <limits>

#include "handles.h"
#include "platform/win32/trace_listeners.h"
#include "platform/win32/wide_text.h"
#include "platform/win32/win32_services.h"

namespace platform::win32 {
namespace {

// Noted before the change, so that a listener can end the process right
// before it (the end-to-end tests' kill points): "move C:\x\a.txt".
void beforeChange(const char* operation, const std::string& path) {
  if (hasNoteListeners())
    trace().note("change", operation + (" " + path));
}

class Win32OutputFile final : public OutputFile {
 public:
  explicit Win32OutputFile(FileHandle file) : file_(std::move(file)) {}
  ~Win32OutputFile() override { close(); }
  bool write(const void* data, std::size_t size) override {
    const auto* bytes = static_cast<const char*>(data);
    while (file_ && size > 0) {
      DWORD written = 0;
      const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size, 1 << 20));
      if (!WriteFile(file_.get(), bytes, chunk, &written, nullptr) || written == 0)
        return false;
      bytes += written;
      size -= written;
    }
    return static_cast<bool>(file_);
  }
  bool flush() override { return file_ && FlushFileBuffers(file_.get()) != 0; }
  bool close() override {
    if (!file_)
      return false;
    const bool flushed = FlushFileBuffers(file_.get()) != 0;
    file_.reset();
    return flushed;
  }

 private:
  FileHandle file_;
};

class Win32InputFile final : public InputFile {
 public:
  explicit Win32InputFile(FileHandle file) : file_(std::move(file)) {}
  long read(void* buffer, std::size_t size) override {
    DWORD got = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size, 1 << 20));
    if (!ReadFile(file_.get(), buffer, chunk, &got, nullptr))
      return -1;
    return static_cast<long>(got);
  }

 private:
  FileHandle file_;
};

// Shared every way: the download goes on writing the file, and a failed
// one deletes it, while it is being read.
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

std::unique_ptr<InputFile> openShared(HANDLE opened) {
  FileHandle file(opened);
  if (!file)
    return nullptr;
  return std::make_unique<Win32InputFile>(std::move(file));
}

std::unique_ptr<OutputFile> createFile(const std::string& path, DWORD disposition) {
  FileHandle file(CreateFileW(widen(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                              disposition, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file)
    return nullptr;
  return std::make_unique<Win32OutputFile>(std::move(file));
}

// The volume and index that name a file whatever path leads to it; opened
// without access rights, so a running executable can be asked too.
bool fileIdentity(const std::string& path, BY_HANDLE_FILE_INFORMATION& info) {
  FileHandle file(CreateFileW(widen(path).c_str(), 0,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  return file && GetFileInformationByHandle(file.get(), &info) != 0;
}

class Win32Files final : public Files {
 public:
  bool exists(const std::string& path) override {
    WIN32_FIND_DATAW data;
    FindHandle found(FindFirstFileW(widen(path).c_str(), &data));
    return static_cast<bool>(found);
  }

  base::Bytes readAll(const std::string& path) override {
    FileHandle file(CreateFileW(widen(path).c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
      return {};
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file.get(), &size) || size.QuadPart > 0x7FFFFFFF)
      return {};
    base::Bytes content(static_cast<std::size_t>(size.QuadPart));
    std::size_t done = 0;
    while (done < content.size()) {
      DWORD read = 0;
      const DWORD want = static_cast<DWORD>(content.size() - done);
      if (!ReadFile(file.get(), content.data() + done, want, &read, nullptr))
        return {};
      if (read == 0)
        break;
      done += read;
    }
    content.resize(done);
    return content;
  }

  bool remove(const std::string& path) override {
    beforeChange("remove", path);
    return DeleteFileW(widen(path).c_str()) != 0;
  }

  bool move(const std::string& from, const std::string& to) override {
    beforeChange("move", from);
    return MoveFileW(widen(from).c_str(), widen(to).c_str()) != 0;
  }

  bool setAttributes(const std::string& path, unsigned attributes) override {
    return SetFileAttributesW(widen(path).c_str(), attributes) != 0;
  }

  std::vector<std::string> findFiles(const std::string& directory,
                                     const std::string& pattern) override {
    std::vector<std::string> names;
    WIN32_FIND_DATAW data;
    FindHandle search(FindFirstFileW(widen(directory + pattern).c_str(), &data));
    if (!search)
      return names;
    do {
      if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
        names.push_back(narrow(data.cFileName));
    } while (FindNextFileW(search.get(), &data));
    return names;
  }

  std::unique_ptr<OutputFile> create(const std::string& path) override {
    beforeChange("create", path);
    return createFile(path, CREATE_ALWAYS);
  }

  std::unique_ptr<OutputFile> createNew(const std::string& path) override {
    beforeChange("createNew", path);
    return createFile(path, CREATE_NEW);
  }

  std::unique_ptr<OutputFile> openForAppend(const std::string& path) override {
    FileHandle file(CreateFileW(widen(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER none{};
    if (!file || !SetFilePointerEx(file.get(), none, nullptr, FILE_END))
      return nullptr;
    return std::make_unique<Win32OutputFile>(std::move(file));
  }

  std::unique_ptr<InputFile> openForReading(const std::string& path) override {
    return openShared(CreateFileW(widen(path).c_str(), GENERIC_READ, kShareAll, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  }

  bool sameFile(const std::string& a, const std::string& b) override {
    BY_HANDLE_FILE_INFORMATION first{};
    BY_HANDLE_FILE_INFORMATION second{};
    return fileIdentity(a, first) && fileIdentity(b, second) &&
           first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
           first.nFileIndexHigh == second.nFileIndexHigh &&
           first.nFileIndexLow == second.nFileIndexLow;
  }

  bool createDirectory(const std::string& path) override {
    CreateDirectoryW(widen(path).c_str(), nullptr);
    return isDirectory(path);
  }

  bool isDirectory(const std::string& path) override {
    const DWORD attributes = GetFileAttributesW(widen(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
  }

  bool replace(const std::string& from, const std::string& to) override {
    beforeChange("replace", from);
    if (MoveFileExW(widen(from).c_str(), widen(to).c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED))
      return true;
    // A target another program holds open is refused as access denied
    // (Windows and Wine alike), while the same file held as the source is a
    // sharing violation: said as what it is, as for a file moved or removed.
    const DWORD error = GetLastError();
    SetLastError(error == ERROR_ACCESS_DENIED && isInUse(to) ? ERROR_SHARING_VIOLATION : error);
    return false;
  }

  bool removeDirectory(const std::string& path) override {
    beforeChange("removeDirectory", path);
    return RemoveDirectoryW(widen(path).c_str()) != 0;
  }

  std::uint32_t lastError() override { return GetLastError(); }

  std::int64_t availableSpace(const std::string& directory) override {
    // A share's name must end in a separator; any folder of a drive may.
    // No folder: the current one's disk.
    const std::string folder =
        directory.empty() || directory.back() == '\\' ? directory : directory + '\\';
    ULARGE_INTEGER available;
    const std::wstring wideFolder = widen(folder);
    if (!GetDiskFreeSpaceExW(folder.empty() ? nullptr : wideFolder.c_str(), &available, nullptr,
                             nullptr))
      return -1;
    return static_cast<std::int64_t>(std::min<ULONGLONG>(
        available.QuadPart, static_cast<ULONGLONG>(std::numeric_limits<std::int64_t>::max())));
  }

  bool isInUse(const std::string& path) override {
    // Moving and deleting need the right to delete, which a program that
    // opened the file without sharing it that way denies to all others.
    FileHandle file(CreateFileW(widen(path).c_str(), DELETE, kShareAll, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    return !file && GetLastError() == ERROR_SHARING_VIOLATION;
  }

  std::int64_t size(const std::string& path) override {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(widen(path).c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
      return -1;
    }
    return (static_cast<std::int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  }
};

}  // namespace

std::unique_ptr<InputFile> openForReadingWide(const std::wstring& path) {
  return openShared(CreateFileW(path.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                                FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
}

Files& files() {
  static Win32Files instance;
  return instance;
}

}  // namespace platform::win32
