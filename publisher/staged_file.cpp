#include "publisher/staged_file.h"

#include "base/path.h"
#include "publisher/file_problems.h"
#include "publisher/refusal.h"

namespace publisher {
namespace {

constexpr char kStagingSuffix[] = ".partial";
constexpr int kStagingNameTries = 100;

}  // namespace

StagedFile::StagedFile(Tools& tools, std::string target)
    : tools_(tools), target_(std::move(target)) {
  // Only a name no file has: a stale temporary, or anyone else's file,
  // is left alone.
  const std::string plain = target_ + kStagingSuffix;
  for (int number = 0; number < kStagingNameTries && !partial_; ++number) {
    auto partial = std::make_unique<update::PartialFile>(
        tools_.files, number == 0 ? plain : base::numberedFileName(plain, number),
        update::PartialFile::Creation::kOnlyNew);
    if (partial->opened())
      partial_ = std::move(partial);
  }
  if (!partial_)
    throw Refusal(writeFailure(tools_, Message::kActCreateBeside, target_));
}

void StagedFile::write(std::string_view data) {
  if (closed_ || !partial_->write(data))
    throw Refusal(writeFailure(tools_, Message::kActWrite, partial_->path()));
}

void StagedFile::close() {
  if (!closed_ && !partial_->close())
    throw Refusal(writeFailure(tools_, Message::kActWrite, partial_->path()));
  closed_ = true;
}

void StagedFile::commit() {
  close();
  if (!tools_.files.replace(partial_->path(), target_))
    throw Refusal(writeFailure(tools_, Message::kActReplace, target_));
  partial_->keep();
}

void writeStaged(Tools& tools, const std::string& target, std::string_view data) {
  StagedFile staged(tools, target);
  staged.write(data);
  staged.commit();
}

}  // namespace publisher
