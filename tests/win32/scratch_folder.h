#pragma once

// A folder of one test under the temporary folder, removed with all that is
// in it when the test ends.

#include <windows.h>

#include <string>

namespace test {

class ScratchFolder {
 public:
  explicit ScratchFolder(const std::string& name) {
    char temp[MAX_PATH] = "";
    GetTempPathA(MAX_PATH, temp);
    path_ = std::string(temp) + name + "-" + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(path_.c_str(), nullptr);
  }
  ~ScratchFolder() { removeTree(path_); }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  // The folder, without a closing backslash.
  const std::string& path() const { return path_; }
  // `relative` below the folder, its folders made.
  std::string make(const std::string& relative) const {
    const std::string whole = path_ + "\\" + relative;
    for (std::size_t slash = whole.find('\\', path_.size() + 1); slash != std::string::npos;
         slash = whole.find('\\', slash + 1)) {
      CreateDirectoryA(whole.substr(0, slash).c_str(), nullptr);
    }
    return whole;
  }

 private:
  static void removeTree(const std::string& dir) {
    WIN32_FIND_DATAA data;
    HANDLE search = FindFirstFileA((dir + "\\*").c_str(), &data);
    if (search != INVALID_HANDLE_VALUE) {
      do {
        const std::string name = data.cFileName;
        if (name == "." || name == "..")
          continue;
        const std::string path = dir + "\\" + name;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
          removeTree(path);
        } else {
          SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
          DeleteFileA(path.c_str());
        }
      } while (FindNextFileA(search, &data));
      FindClose(search);
    }
    RemoveDirectoryA(dir.c_str());
  }

  std::string path_;
};

inline bool exists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace test
