#include "publisher/package_writer.h"

#include <zip.h>

#include <algorithm>
#include <climits>
#include <exception>
#include <memory>
#include <optional>
#include <vector>

#include "platform/zip_file.h"
#include "publisher/compression_choice.h"
#include "publisher/messages.h"
#include "publisher/raw_name_flags.h"
#include "publisher/refusal.h"

namespace publisher {
namespace {

struct ArchiveDiscarder {
  void operator()(zip_t* archive) const { zip_discard(archive); }
};
using ArchiveOwner = std::unique_ptr<zip_t, ArchiveDiscarder>;

struct PackState {
  PackTotals done;
  PackTotals total;
  const PackProgress& progress;
  std::optional<Refusal> problem;  // why a file could not be packed, naming it
};

// One file's data as libzip asks for it while writing the archive: opened
// only then, so that one file is open at a time, and held to the size the
// entry was listed with.
class FileSource {
 public:
  FileSource(const TreeEntry& entry, PackState& state) : entry_(entry), state_(state) {
    zip_error_init(&error_);
  }
  ~FileSource() { zip_error_fini(&error_); }
  FileSource(const FileSource&) = delete;
  FileSource& operator=(const FileSource&) = delete;

  // Called from libzip's C code, which no exception may cross.
  static zip_int64_t call(void* self, void* data, zip_uint64_t length, zip_source_cmd_t command) {
    auto* source = static_cast<FileSource*>(self);
    try {
      return source->handle(data, length, command);
    } catch (const std::exception&) {
      return source->fail(ZIP_ER_MEMORY, Message::kUnreadableNoMemory);
    }
  }

 private:
  zip_int64_t handle(void* data, zip_uint64_t length, zip_source_cmd_t command) {
    switch (command) {
      case ZIP_SOURCE_OPEN:
        file_ = entry_.open();
        delivered_ = 0;
        return file_ ? 0 : fail(ZIP_ER_OPEN, Message::kCannotOpen);
      case ZIP_SOURCE_READ:
        return read(data, length);
      case ZIP_SOURCE_CLOSE:
        file_.reset();
        ++state_.done.files;
        state_.progress(state_.done, state_.total);
        return 0;
      case ZIP_SOURCE_STAT: {
        auto* stat = static_cast<zip_stat_t*>(data);
        zip_stat_init(stat);
        stat->valid = ZIP_STAT_SIZE | ZIP_STAT_MTIME;
        stat->size = entry_.size;
        stat->mtime = static_cast<time_t>(entry_.modified);
        return sizeof(zip_stat_t);
      }
      case ZIP_SOURCE_ERROR:
        return zip_error_to_data(&error_, data, length);
      case ZIP_SOURCE_FREE:
        delete this;
        return 0;
      case ZIP_SOURCE_SUPPORTS:
        return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE,
                                              ZIP_SOURCE_STAT, ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE,
                                              -1);
      default:
        zip_error_set(&error_, ZIP_ER_OPNOTSUPP, 0);
        return -1;
    }
  }

  zip_int64_t read(void* data, zip_uint64_t length) {
    const long got =
        file_->read(data, static_cast<std::size_t>(std::min<zip_uint64_t>(length, LONG_MAX)));
    if (got < 0)
      return fail(ZIP_ER_READ, Message::kCannotBeRead);
    // The entry's size was taken when the folder was listed: a file that
    // grows or shrinks meanwhile would be packed as neither version.
    const auto bytes = static_cast<std::uint64_t>(got);
    if (delivered_ + bytes > entry_.size || (got == 0 && delivered_ != entry_.size))
      return fail(ZIP_ER_INCONS, Message::kChangedSize);
    delivered_ += bytes;
    state_.done.bytes += bytes;
    state_.progress(state_.done, state_.total);
    return got;
  }

  zip_int64_t fail(int code, Message why) {
    zip_error_set(&error_, code, 0);
    state_.problem = Refusal(why, {entry_.shownName});
    return -1;
  }

  const TreeEntry& entry_;
  PackState& state_;
  std::unique_ptr<platform::InputFile> file_;
  std::uint64_t delivered_ = 0;
  zip_error_t error_;
};

ArchiveOwner openNewArchive(const std::string& path) {
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* file = platform::zipFileSource(path, &error);
  zip_t* archive = file ? zip_open_from_source(file, ZIP_CREATE | ZIP_TRUNCATE, &error) : nullptr;
  const std::string why = zip_error_strerror(&error);
  zip_error_fini(&error);
  if (archive == nullptr) {
    zip_source_free(file);
    throw Refusal(Message::kCannotWritePackage, {path, why});
  }
  return ArchiveOwner(archive);
}

std::string archiveError(zip_t* archive) {
  return zip_strerror(archive);
}

// libzip stores the name's bytes as they are; it flags those that happen to
// be valid UTF-8, which keepNamesRaw() undoes (ZIP_FL_ENC_CP437, meant for
// this, refuses exactly those names in libzip 1.7).
constexpr zip_flags_t kRawName = ZIP_FL_ENC_GUESS;

void addFolder(zip_t* archive, const TreeEntry& entry) {
  const zip_int64_t index = zip_dir_add(archive, entry.entryName.c_str(), kRawName);
  if (index < 0 || zip_file_set_mtime(archive, static_cast<zip_uint64_t>(index),
                                      static_cast<time_t>(entry.modified), 0) != 0)
    throw Refusal(Message::kCannotAdd, {entry.shownName, archiveError(archive)});
}

// Deflated unless the file's start shows it packed already; a file that
// cannot be read here is left for libzip's read to name.
zip_int32_t compressionOf(const TreeEntry& entry) {
  if (entry.size <= kAlwaysDeflatedBytes)
    return ZIP_CM_DEFLATE;
  const std::unique_ptr<platform::InputFile> file = entry.open();
  if (!file)
    return ZIP_CM_DEFLATE;
  std::vector<char> sample(kCompressionSampleBytes);
  std::size_t filled = 0;
  while (filled < sample.size()) {
    const long got = file->read(sample.data() + filled, sample.size() - filled);
    if (got <= 0)
      break;
    filled += static_cast<std::size_t>(got);
  }
  return worthDeflating(sample.data(), filled) ? ZIP_CM_DEFLATE : ZIP_CM_STORE;
}

void addFile(zip_t* archive, const TreeEntry& entry, PackState& state) {
  auto* feeder = new FileSource(entry, state);
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* source = zip_source_function_create(&FileSource::call, feeder, &error);
  zip_error_fini(&error);
  if (source == nullptr) {
    delete feeder;
    throw Refusal(Message::kCannotAddNoMemory, {entry.shownName});
  }
  // From here the source owns the feeder, and the archive owns the source.
  const zip_int64_t index = zip_file_add(archive, entry.entryName.c_str(), source, kRawName);
  if (index < 0) {
    zip_source_free(source);
    throw Refusal(Message::kCannotAdd, {entry.shownName, archiveError(archive)});
  }
  if (zip_set_file_compression(archive, static_cast<zip_uint64_t>(index), compressionOf(entry),
                               0) != 0)
    throw Refusal(Message::kCannotAdd, {entry.shownName, archiveError(archive)});
}

void addStored(zip_t* archive, const std::string& name, const std::string& bytes) {
  // The bytes outlive the archive's close, which reads them.
  zip_source_t* source = zip_source_buffer(archive, bytes.data(), bytes.size(), 0);
  if (source == nullptr)
    throw Refusal(Message::kCannotAdd, {name, archiveError(archive)});
  const zip_int64_t index = zip_file_add(archive, name.c_str(), source, kRawName);
  if (index < 0) {
    zip_source_free(source);
    throw Refusal(Message::kCannotAdd, {name, archiveError(archive)});
  }
  if (zip_set_file_compression(archive, static_cast<zip_uint64_t>(index), ZIP_CM_STORE, 0) != 0)
    throw Refusal(Message::kCannotAdd, {name, archiveError(archive)});
}

}  // namespace

PackTotals totalsOf(const std::vector<TreeEntry>& entries) {
  PackTotals totals;
  for (const TreeEntry& entry : entries) {
    if (!entry.isFolder) {
      ++totals.files;
      totals.bytes += entry.size;
    }
  }
  return totals;
}

void writePackage(const std::string& archivePath, const std::vector<TreeEntry>& entries,
                  const PackProgress& progress, const std::string& lastName,
                  const std::string& lastBytes) {
  PackState state{{}, totalsOf(entries), progress, {}};
  ArchiveOwner archive = openNewArchive(archivePath);
  for (const TreeEntry& entry : entries) {
    if (entry.isFolder)
      addFolder(archive.get(), entry);
    else
      addFile(archive.get(), entry, state);
  }
  if (!lastName.empty())
    addStored(archive.get(), lastName, lastBytes);
  // The data is read and compressed here.
  if (zip_close(archive.get()) != 0) {
    if (state.problem)
      throw *state.problem;
    throw Refusal(Message::kCannotWritePackage, {archivePath, archiveError(archive.get())});
  }
  archive.release();  // zip_close freed it
  keepNamesRaw(archivePath);
}

}  // namespace publisher
