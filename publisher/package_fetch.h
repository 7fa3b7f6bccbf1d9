#pragma once

// The package a version page announces, downloaded as a launcher downloads
// it: the launcher's own engine, with its redirects and https rules.

#include <cstdint>
#include <string>

#include "publisher/tools.h"

namespace publisher {

// The status line of a raw header block as update::webRequest gives it;
// empty when no headers were read (it gives a block of blanks then).
std::string statusLineOf(const std::string& rawHeaders);
// True for a status line that says 404: nothing at that address.
bool answersNotFound(const std::string& statusLine);

class FetchedPackage {
 public:
  // Downloads `address` (code page 936) into a new temporary file. Stops
  // once more than `announcedSize` bytes arrive. Throws Refusal naming the
  // cause (the server's status, a broken connection) when it cannot.
  FetchedPackage(Tools& tools, const std::string& address, std::uint64_t announcedSize);
  ~FetchedPackage();
  FetchedPackage(const FetchedPackage&) = delete;
  FetchedPackage& operator=(const FetchedPackage&) = delete;

  const std::string& path() const { return path_; }
  // True when more arrived than announced: the download was stopped, and
  // path() is empty.
  bool longerThanAnnounced() const { return longer_; }

 private:
  Tools& tools_;
  std::string path_;
  bool longer_ = false;
};

}  // namespace publisher
