#pragma once

// The package's list of its entries (update/package/entry_list.h), written
// in two steps around libzip, which alone knows where each entry lands: a
// placeholder of the list's final length is packed, stored, as the last
// entry; once the archive is written, each entry's place and digest are
// read back and the list written over the placeholder, its CRC mended in
// both of its records.

#include <string>
#include <vector>

#include "publisher/tools.h"
#include "update/package/entry_list.h"

namespace publisher {

// The list of `entries` with every place and digest zero: the bytes to
// pack as the list's entry.
std::string entryListPlaceholder(const std::vector<TreeEntry>& entries);

// Every entry of the finished package at `archivePath` but its last (the
// list's own), as its list names them: read from its records and its data.
// Throws Refusal when the archive is not laid out as libzip writes one.
std::vector<update::ListedEntry> listedEntriesOf(const std::string& archivePath);

// Fills in the list of the package at `archivePath`, whose last entry is
// the placeholder; returns where the list lies and its digest. Throws
// Refusal when the archive is not laid out as libzip writes one.
update::EntryListPlace completeEntryList(const std::string& archivePath);

}  // namespace publisher
