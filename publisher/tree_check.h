#pragma once

// What must hold of a folder before it becomes an update package.

#include <string_view>
#include <vector>

#include "publisher/tools.h"

namespace publisher {

// Throws Refusal for a tree the launcher could not unpack as it stands:
// symbolic links (named, every one), a name Windows refuses, drops a part
// of or that would land outside the game folder, a path longer than
// Windows takes, two names Windows takes for one (letters that differ only
// in case, a folder beside a file of its name), a name the launcher gives
// a file of its own during the update (its journal, the package
// `packageName` and its download, a staging or backup name; anywhere in the
// tree, in any letter case), or no file `launcher` (code page 936;
// `shownLauncher` in local text) at the top to start afterwards.
void checkPackageTree(const std::vector<TreeEntry>& entries, std::string_view launcher,
                      std::string_view shownLauncher, std::string_view packageName);

// Throws Refusal when the launcher's update journal could not list every
// file and folder of `entries` (part of checkPackageTree).
void checkJournalRoom(const std::vector<TreeEntry>& entries);

// True when `content` is a secret key file as keygen writes it (base64 of
// an Ed25519 secret key, blanks and line ends around it allowed).
bool isSecretKeyFile(std::string_view content);

// `text` without a UTF-8 byte order mark, which Notepad puts in front.
std::string_view withoutByteOrderMark(std::string_view text);

// The largest file searched for the secret key's text.
inline constexpr std::uint64_t kLargestTextFile = 4 << 20;

// Throws Refusal naming every file among `entries` that is a secret key
// file, or holds `secretText` (the signing key as keygen writes it; empty:
// none): published, it would let anyone sign updates for its players.
void refuseSecretKeys(const std::vector<TreeEntry>& entries, std::string_view secretText = {});

}  // namespace publisher
