// An update package as any server may send it, unpacked for real into a
// fresh folder that has a neighbour folder holding a known file. Whatever
// the bytes: nothing outside the folder changes, the package goes in whole
// or not at all (no file it finished is lost unless all of it went), no
// journal stays, and no more is written than the archive's directory
// declares.

#include <zip.h>

#include <fstream>
#include <iterator>
#include <limits>

#include "fuzz/harness.h"
#include "fuzz/watched_files.h"
#include "platform/host/host_services.h"
#include "update/package/apply_package.h"

namespace {

namespace fs = std::filesystem;

const std::string kKnownContent = "a saved game, in no update package\n";

// The sum of the entry sizes the central directory declares.
std::uint64_t declaredSize(const std::uint8_t* data, std::size_t size) {
  zip_source_t* source = zip_source_buffer_create(data, size, 0, nullptr);
  zip_t* archive = source ? zip_open_from_source(source, ZIP_RDONLY, nullptr) : nullptr;
  if (archive == nullptr) {
    zip_source_free(source);
    return 0;
  }
  std::uint64_t total = 0;
  for (zip_int64_t i = 0; i < zip_get_num_entries(archive, 0); ++i) {
    zip_stat_t stat;
    if (zip_stat_index(archive, i, 0, &stat) == 0 && (stat.valid & ZIP_STAT_SIZE))
      total += std::min(stat.size, std::numeric_limits<std::uint64_t>::max() - total);
  }
  zip_discard(archive);
  return total;
}

std::uint64_t sizeOfFilesBelow(const fs::path& folder) {
  std::uint64_t total = 0;
  for (const auto& entry : fs::recursive_directory_iterator(folder))
    total += entry.is_regular_file() ? entry.file_size() : 0;
  return total;
}

std::string contentOf(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const fs::path& scratch = fuzz::scratchFolder("unzip");
  const fs::path game = scratch / "game";
  const fs::path known = scratch / "neighbour" / "known.txt";
  const fs::path package = scratch / "package.zip";
  fs::remove_all(game);
  fs::create_directories(game);
  fs::create_directories(known.parent_path());
  std::ofstream(known, std::ios::binary | std::ios::trunc) << kKnownContent;
  std::ofstream(package, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));

  fuzz::WatchedFiles files(game);
  platform::host::IconvTextCodec codec;
  platform::host::FakeNamedEvents events;
  update::applyPackageNow(files, events, codec, package.string(), game.string() + "\\", [](int) {});

  fuzz::require(std::distance(fs::directory_iterator(scratch), {}) == 3 &&
                    std::distance(fs::directory_iterator(known.parent_path()), {}) == 1 &&
                    contentOf(known) == kKnownContent,
                "nothing beside the folder is written, the known file is intact");
  bool anyFile = false;
  for (const auto& entry : fs::recursive_directory_iterator(game)) {
    if (!entry.is_regular_file())
      continue;
    anyFile = true;
    fuzz::require(entry.path().filename() != "tavoro-update.journal", "no journal stays");
  }
  for (const fs::path& finished : files.finished()) {
    const bool isBackup = finished.filename().string().find(".backup") != std::string::npos;
    fuzz::require(!anyFile || isBackup || fs::is_regular_file(finished),
                  "the package goes in whole or not at all");
  }
  fuzz::require(sizeOfFilesBelow(game) <= declaredSize(data, size),
                "no entry is written beyond the size the archive declares");
  return 0;
}
