// Entry names of an update package and file names: every piece a parsed
// entry path gives is itself a safe name, and a safe name has no separator
// and is the last component of the path it makes in a folder.

#include "base/cp936.h"
#include "base/file_name.h"
#include "base/path.h"
#include "fuzz/harness.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const int number = input.ConsumeIntegralInRange(0, 99);
  const std::string name = input.ConsumeRemainingBytesAsString();

  if (const std::optional<base::EntryPath> path = base::parseEntryPath(name)) {
    for (const std::string& folder : path->folders)
      fuzz::require(base::isPlainFileName(folder), "an entry's folders are plain names");
    fuzz::require(path->fileName.empty() || base::isPlainFileName(path->fileName),
                  "an entry's file name is a plain name");
  }

  const std::string runDirectory = "C:\\Games\\Demo";
  const std::string joined = base::joinPath(runDirectory, name);
  if (base::isPlainFileName(name)) {
    bool separator = false;
    base::forEachCharacter<base::fileNameCharacterWidth>(
        name, [&](std::size_t i, std::size_t width) {
          separator = separator || (width == 1 && base::isPathSeparator(name[i]));
        });
    fuzz::require(!separator, "a plain name has no separator");
    fuzz::require(base::lastPathComponent(joined) == name,
                  "a plain name joined to a folder is the path's last component");
    fuzz::require(base::isFullFilePath(joined), "a plain name in a folder is a full file path");
  }

  const std::string numbered = base::numberedFileName(name, number);
  const std::string tag = "(" + std::to_string(number) + ")";
  fuzz::require(
      numbered.size() == name.size() + tag.size() && numbered.find(tag) != std::string::npos,
      "numbering a name only inserts the number");
  return 0;
}
