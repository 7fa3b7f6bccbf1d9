#include "publisher/entry_list_check.h"

#include <optional>

#include "publisher/archive_bytes.h"
#include "publisher/entry_list_writer.h"
#include "publisher/messages.h"
#include "publisher/printable.h"
#include "publisher/refusal.h"
#include "update/package/fetch_plan.h"
#include "update/partial_update.h"

namespace publisher {
namespace {

std::string marker(Tools& tools) {
  return tools.text.cp936ToLocal(update::versionFieldMarker(update::kEntryList));
}

// The list the page places, read from the package; nothing when the page
// names none. Throws Refusal when it is not there or not the one named.
std::optional<std::vector<update::ListedEntry>> placedList(const update::VersionFields& fields,
                                                           const std::string& package,
                                                           Tools& tools) {
  if (fields[update::kEntryList].empty())
    return std::nullopt;
  const std::optional<update::EntryListPlace> place =
      update::parseEntryListPlace(fields[update::kEntryList]);
  if (!place)
    throw Refusal(Message::kListPlaceMalformed, {marker(tools)});
  ArchiveBytes bytes(package);
  if (place->offset + place->length > bytes.size())
    throw Refusal(Message::kListPastEnd, {marker(tools)});
  const std::vector<std::uint8_t> read =
      bytes.read(place->offset, static_cast<std::size_t>(place->length));
  const std::string text(read.begin(), read.end());
  if (update::digestOfBytes(text) != place->digest)
    throw Refusal(Message::kListDigestDiffers, {marker(tools)});
  std::optional<std::vector<update::ListedEntry>> entries = update::parseEntryList(text);
  if (!entries)
    throw Refusal(Message::kListNotAList, {marker(tools)});
  return entries;
}

}  // namespace

std::string entryListProblem(const update::VersionFields& fields, const std::string& package,
                             Tools& tools) {
  try {
    const std::optional<std::vector<update::ListedEntry>> listed =
        placedList(fields, package, tools);
    if (listed && *listed != listedEntriesOf(package))
      return say(tools, Message::kListNotAsPacked, {marker(tools)});
  } catch (const Refusal& refusal) {
    return refusal.what();
  }
  return {};
}

std::string folderFetches(const update::VersionFields& fields, const std::string& package,
                          const std::string& folder, Tools& tools) {
  std::optional<std::vector<update::ListedEntry>> listed = placedList(fields, package, tools);
  if (!listed)
    throw Refusal(Message::kNoListForFolder, {marker(tools)});
  // The folder is named in local text; so are the names looked for in it.
  std::vector<update::ListedEntry> local = *listed;
  for (update::ListedEntry& entry : local)
    entry.name = tools.text.cp936ToLocal(entry.name);
  const std::vector<std::size_t> wanted =
      update::entriesToFetch(tools.files, folder, local, [](std::uint64_t, std::uint64_t) {});
  std::string lines;
  for (const std::size_t index : wanted)
    lines += say(tools, Message::kEntryBytes,
                 {printable(local[index].name), std::to_string(local[index].size)});
  const std::optional<update::EntryListPlace> place =
      update::parseEntryListPlace(fields[update::kEntryList]);
  const std::uint64_t size = ArchiveBytes(package).size();
  std::uint64_t bytes = place->length;
  std::size_t requests = 1;
  if (!wanted.empty()) {
    const std::vector<update::ByteSpan> parts = update::partsToFetch(*listed, wanted, *place, size);
    requests += parts.size();
    for (const update::ByteSpan& part : parts)
      bytes += part.length;
  }
  const std::string asked = requests == 1
                                ? say(tools, Message::kOneRequest)
                                : say(tools, Message::kRequests, {std::to_string(requests)});
  return lines +
         say(tools, Message::kFolderFetches,
             {folder, std::to_string(wanted.size()), std::to_string(listed->size()),
              std::to_string(bytes), std::to_string(size), asked}) +
         (wanted.empty() ? say(tools, Message::kNothingDiffers) : std::string()) + "\n";
}

}  // namespace publisher
