#pragma once

// The decisions of an update that fetches only what the game folder lacks:
// which listed entries differ from the folder's files, which parts of the
// package to ask for, and whether the parts that arrived are the listed
// entries.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/files.h"
#include "update/download/download_engine.h"
#include "update/package/entry_list.h"
#include "update/package/pieced_source.h"
#include "update/package/unzip_archive.h"

namespace update {

// The most range requests one update makes: parts further apart are
// joined, the bytes between them fetched too.
inline constexpr std::size_t kMaxRangeRequests = 32;

// Hears the folder's check: bytes read so far of the bytes to read.
using CheckProgress = std::function<void(std::uint64_t done, std::uint64_t total)>;

// The indices of the entries the folder below `runDirectory` lacks: a file
// missing or of another size, or of the size but another digest (each such
// file read once); a folder that is not there; a name no folder may hold.
std::vector<std::size_t> entriesToFetch(platform::Files& files, const std::string& runDirectory,
                                        const std::vector<ListedEntry>& entries,
                                        const CheckProgress& progress);

// Sorted, with spans that overlap or touch made one; then, while there are
// more than `maxRequests` (at least 1), the two with the smallest gap
// between them joined. Empty spans go.
std::vector<ByteSpan> joinSpans(std::vector<ByteSpan> spans, std::size_t maxRequests);

// Where each span lands in the file that gathers them one after another.
std::vector<ArchivePiece> piecesOf(const std::vector<ByteSpan>& spans);

// True when each of `wanted` is an entry of `archive` under its name, of
// its size and digest: what arrived is what was signed.
bool fetchedEntriesMatch(const ZipArchive& archive, const std::vector<ListedEntry>& wanted);

}  // namespace update
