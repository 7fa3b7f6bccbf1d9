#pragma once

// The cause of a failed file operation, said so that a publisher can act
// on it: "not found", "is a folder", "access denied", "no space left on
// the drive", or the system's own words.

#include <optional>
#include <string>

#include "publisher/messages.h"

#include "publisher/tools.h"

namespace publisher {

// "cannot read PATH: CAUSE". Call it right after the failed read, before
// anything else asks the system.
std::string readFailure(Tools& tools, const std::string& path);

// "cannot WHAT PATH: CAUSE" for a file or folder that could not be
// created, written or put in place at `path`. Call it right after the
// failure.
// `action` is one of the kAct... messages.
std::string writeFailure(Tools& tools, Message action, const std::string& path);

// The message for a kind of system error; none for the others, which the
// system's own words tell.
std::optional<Message> causeOf(const SystemError& error);
std::string causeWords(Tools& tools, const SystemError& error);

// The folder `path` lies in, by its spelling: "." for a bare name, the
// root for a name at the root.
std::string parentPath(const std::string& path);

// `name` below `folder`, joined by this system's separator; `name` may
// itself hold "/" between parts, which become that separator too.
std::string joinPath(Tools& tools, const std::string& folder, const std::string& name);

// True when `path` is `folder` or lies anywhere below it, however each is
// spelled; the file system decides, so links and letter case count. `path`
// need not exist.
bool liesInside(platform::Files& files, const std::string& path, const std::string& folder);

// Creates `folder` and any missing folders above it. Throws Refusal
// naming the one that cannot be made, and why.
void createFolders(Tools& tools, const std::string& folder);

}  // namespace publisher
