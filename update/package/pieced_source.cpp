#include "update/package/pieced_source.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <limits>

namespace update {

PieceHit findPiece(const std::vector<ArchivePiece>& pieces, std::uint64_t packageOffset) {
  PieceHit gap{false, 0, std::numeric_limits<std::uint64_t>::max() - packageOffset};
  for (const ArchivePiece& piece : pieces) {
    if (packageOffset >= piece.packageOffset &&
        packageOffset - piece.packageOffset < piece.length) {
      const std::uint64_t into = packageOffset - piece.packageOffset;
      return PieceHit{true, piece.fileOffset + into, piece.length - into};
    }
    if (piece.packageOffset > packageOffset)
      gap.available = std::min(gap.available, piece.packageOffset - packageOffset);
  }
  return gap;
}

namespace {

class PiecedSource {
 public:
  PiecedSource(zip_source_t* file, std::vector<ArchivePiece> pieces, std::uint64_t size)
      : file_(file), pieces_(std::move(pieces)), size_(size) {
    zip_error_init(&error_);
  }
  ~PiecedSource() {
    zip_source_free(file_);
    zip_error_fini(&error_);
  }
  PiecedSource(const PiecedSource&) = delete;
  PiecedSource& operator=(const PiecedSource&) = delete;

  // Called from libzip's C code, which no exception may cross.
  static zip_int64_t call(void* self, void* data, zip_uint64_t length, zip_source_cmd_t command) {
    auto* source = static_cast<PiecedSource*>(self);
    try {
      return source->handle(data, length, command);
    } catch (const std::exception&) {
      return source->fail(ZIP_ER_MEMORY);
    }
  }

 private:
  zip_int64_t handle(void* data, zip_uint64_t length, zip_source_cmd_t command) {
    switch (command) {
      case ZIP_SOURCE_OPEN:
        position_ = 0;
        return zip_source_open(file_) == 0 ? 0 : fail(ZIP_ER_OPEN);
      case ZIP_SOURCE_READ:
        return read(data, length);
      case ZIP_SOURCE_CLOSE:
        return zip_source_close(file_) == 0 ? 0 : fail(ZIP_ER_CLOSE);
      case ZIP_SOURCE_SEEK: {
        const zip_int64_t to =
            zip_source_seek_compute_offset(position_, size_, data, length, &error_);
        if (to < 0)
          return -1;
        position_ = static_cast<std::uint64_t>(to);
        return 0;
      }
      case ZIP_SOURCE_TELL:
        return static_cast<zip_int64_t>(position_);
      case ZIP_SOURCE_STAT: {
        auto* stat = static_cast<zip_stat_t*>(data);
        zip_stat_init(stat);
        stat->valid = ZIP_STAT_SIZE;
        stat->size = size_;
        return sizeof(zip_stat_t);
      }
      case ZIP_SOURCE_ERROR:
        return zip_error_to_data(&error_, data, length);
      case ZIP_SOURCE_FREE:
        delete this;
        return 0;
      case ZIP_SOURCE_SUPPORTS:
        return zip_source_make_command_bitmap(
            ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE, ZIP_SOURCE_STAT, ZIP_SOURCE_ERROR,
            ZIP_SOURCE_FREE, ZIP_SOURCE_SEEK, ZIP_SOURCE_TELL, ZIP_SOURCE_SUPPORTS, -1);
      default:
        zip_error_set(&error_, ZIP_ER_OPNOTSUPP, 0);
        return -1;
    }
  }

  zip_int64_t read(void* data, zip_uint64_t length) {
    if (position_ >= size_ || length == 0)
      return 0;
    const PieceHit hit = findPiece(pieces_, position_);
    const zip_uint64_t asked = std::min<zip_uint64_t>({length, hit.available, size_ - position_});
    if (!hit.held) {
      std::memset(data, 0, static_cast<std::size_t>(asked));
      position_ += asked;
      return static_cast<zip_int64_t>(asked);
    }
    if (zip_source_seek(file_, static_cast<zip_int64_t>(hit.fileOffset), SEEK_SET) != 0)
      return fail(ZIP_ER_SEEK);
    const zip_int64_t got = zip_source_read(file_, data, asked);
    if (got <= 0)
      return fail(ZIP_ER_READ);
    position_ += static_cast<std::uint64_t>(got);
    return got;
  }

  zip_int64_t fail(int code) {
    zip_error_set(&error_, code, 0);
    return -1;
  }

  zip_source_t* file_;
  std::vector<ArchivePiece> pieces_;
  std::uint64_t size_;
  std::uint64_t position_ = 0;
  zip_error_t error_;
};

}  // namespace

zip_source_t* piecedSource(zip_source_t* file, std::vector<ArchivePiece> pieces,
                           std::uint64_t packageSize, zip_error_t* error) {
  auto* state = new PiecedSource(file, std::move(pieces), packageSize);
  zip_source_t* source = zip_source_function_create(&PiecedSource::call, state, error);
  if (source == nullptr)
    delete state;  // frees `file` too
  return source;
}

}  // namespace update
