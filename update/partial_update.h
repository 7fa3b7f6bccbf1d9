#pragma once

// An update that fetches only the entries the game folder lacks, from the
// same signed package: first the package's list of its entries, then the
// parts of the entries that differ from the folder's files (and the
// package's directory), each by range. Whatever does not fit on the way
// (no signed list, a list that is not the signed one, a server that does
// not answer ranges, parts that are not the listed entries) ends it, and
// the whole package is downloaded instead, as it always was.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/pump.h"
#include "update/package/entry_list.h"
#include "update/package/unzip.h"
#include "update/update_state.h"
#include "update/update_view.h"

namespace update {

enum class PartialStep {
  kList,     // the list is being fetched
  kEntries,  // the parts of the entries that differ are being fetched
};

struct PartialFetch {
  PartialStep step = PartialStep::kList;
  EntryListPlace place;
  // The file that gathers the fetched parts, beside the package.
  std::string gathered;
  // What the apply reads of them, once they are checked.
  PartialArchive archive;
  // The listed entries the folder lacks.
  std::vector<ListedEntry> chosen;
};

// How a task of the partial update ended.
enum class PartialEnd {
  kGoesOn,  // the next parts are being fetched
  kReady,   // the entries arrived and are the listed ones: apply them
  kWholeAfterAll,
};

// The release's list is signed (the third form, with this launcher's key),
// the disk has room for the whole update as the page gives it, and the
// list's fetch started: true. False: nothing was started, nor changed.
bool startPartialUpdate(platform::Files& files, const std::string& runDirectory, UpdateState& state,
                        UpdateView& view);

// A task of the partial update ended: checks what arrived and starts the
// next, or tells that it is ready or must give way to the whole package
// (its gathered file removed then). `pump` keeps the window going while the
// folder's files are read.
PartialEnd continuePartialUpdate(platform::Files& files, platform::Pump& pump,
                                 const std::string& runDirectory, UpdateState& state,
                                 UpdateView& view);

// The parts of the package a folder lacking `wanted` entries fetches: the
// entries' spans and the package's directory, from the end of the list to
// the package's end, joined.
std::vector<ByteSpan> partsToFetch(const std::vector<ListedEntry>& entries,
                                   const std::vector<std::size_t>& wanted,
                                   const EntryListPlace& place, std::uint64_t packageSize);

}  // namespace update
