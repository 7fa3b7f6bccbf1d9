#include "update/kept_package.h"

#include "base/path.h"
#include "update/package/length_prefixed.h"
#include "update/package/record_file.h"

namespace update {
namespace {

constexpr std::string_view kHeader = kKeptRecordHeader;
// The fields every record holds: those of the page when records were first
// kept. Fields added later follow, so a record an earlier launcher kept
// still reads, its later fields empty.
constexpr int kFirstKeptFields = kUnpackedSize + 1;
// The length of a longest value, as kMaxKeptRecordBytes counts it.
static_assert(kMaxKeptValueBytes == 65536);

std::string recordPath(const std::string& runDirectory) {
  return base::joinPath(runDirectory, kKeptPackageFileName);
}

}  // namespace

bool keepPackage(platform::Files& files, const std::string& runDirectory, const KeptPackage& kept) {
  std::string text(kHeader);
  for (const std::string& value : kept.versionFields)
    text += lengthPrefixed(value) + "\n";
  text += std::to_string(kept.size) + "\n";
  return replaceRecordFile(files, recordPath(runDirectory), text);
}

std::optional<KeptPackage> readKeptPackage(platform::Files& files,
                                           const std::string& runDirectory) {
  const RecordBytes record = readRecordFile(files, recordPath(runDirectory), kMaxKeptRecordBytes);
  if (record.status != RecordRead::kRead)
    return std::nullopt;
  std::string_view text(reinterpret_cast<const char*>(record.bytes.data()), record.bytes.size());
  if (text.substr(0, kHeader.size()) != kHeader)
    return std::nullopt;
  LengthPrefixedReader reader(text.substr(kHeader.size()), kMaxKeptValueBytes);
  KeptPackage kept;
  for (int field = 0; field < kVersionFieldCount; ++field) {
    // A value is "<length>:", the size that ends the record "<digits>\n".
    LengthPrefixedReader ahead = reader;
    if (field >= kFirstKeptFields && !ahead.text())
      break;
    std::optional<std::string> read = reader.text();
    if (!read || !reader.skip('\n'))
      return std::nullopt;
    kept.versionFields[field] = std::move(*read);
  }
  const std::optional<std::int64_t> size = reader.fileSize();
  if (!size || !reader.skip('\n') || !reader.atEnd())
    return std::nullopt;
  kept.size = *size;
  return kept;
}

void forgetKeptPackage(platform::Files& files, const std::string& runDirectory) {
  files.remove(recordPath(runDirectory));
}

}  // namespace update
