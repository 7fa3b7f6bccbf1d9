#pragma once

// An output file written under a temporary name beside its target and
// renamed into place only when complete: a failure anywhere before commit()
// leaves neither a half-written file nor the temporary behind.

#include <memory>
#include <string>
#include <string_view>

#include "platform/services.h"
#include "publisher/tools.h"
#include "update/download/partial_file.h"

namespace publisher {

class StagedFile {
 public:
  // Throws Refusal when no temporary file can be created beside `target`.
  StagedFile(Tools& tools, std::string target);

  const std::string& stagingPath() const { return partial_->path(); }
  // Throws Refusal when the data cannot be written.
  void write(std::string_view data);
  // Ends writing through this object, so that another writer may fill the
  // temporary file by its path.
  void close();
  // Replaces the target with the temporary file; throws Refusal when it
  // cannot.
  void commit();

 private:
  Tools& tools_;
  std::string target_;
  std::unique_ptr<update::PartialFile> partial_;
  bool closed_ = false;
};

// The whole file at once, staged.
void writeStaged(Tools& tools, const std::string& target, std::string_view data);

}  // namespace publisher
