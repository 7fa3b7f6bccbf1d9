#include "update/package/apply_journal.h"

#include <algorithm>
#include <map>

#include "base/cp936.h"
#include "base/file_name.h"
#include "base/path.h"
#include "update/download/download_engine.h"
#include "update/package/free_names.h"
#include "update/package/length_prefixed.h"
#include "update/package/record_file.h"

namespace update {
namespace {

constexpr std::string_view kHeader = "tavoro-update-journal/1\n";
constexpr std::string_view kStaged = "staged";
constexpr std::string_view kFolder = "folder";
constexpr std::string_view kStep = "step";
constexpr std::string_view kComplete = "apply";
constexpr std::string_view kFinish = "finish";
constexpr std::string_view kUndo = "undo";
// Names are at most a Windows path; a longer length is no journal of ours.
constexpr std::size_t kMaxNameBytes = 1024;
// Kept free for the decision by every other record.
constexpr std::size_t kDecisionRoom = std::max(kFinish.size(), kUndo.size()) + 1;

std::string stepLine(const ApplyStep& step) {
  return std::string(kStep) + " " + lengthPrefixed(step.staged) + " " +
         lengthPrefixed(step.target) + " " + lengthPrefixed(step.backup) + " " +
         std::to_string(step.size) + "\n";
}

// A file or folder name below the run directory, and nothing else, written
// as the apply writes names.
std::optional<std::string> insideName(LengthPrefixedReader& reader) {
  std::optional<std::string> name = reader.text();
  if (!name || !base::isJoinedFilePath(*name))
    return std::nullopt;
  return name;
}

// The staged and backup names the apply would have taken for the target:
// beside it, inside the run directory as it is.
bool namesFitTarget(const ApplyStep& step) {
  return isFreeNameOf(step.staged, step.target, kStagingSuffix) &&
         (step.backup.empty() || isFreeNameOf(step.backup, step.target, kBackupSuffix));
}

// The apply takes each name once: targets, staged and backup names are all
// different, and a staged record names a staged file, never a target or a
// backup.
bool namesAreDistinct(const ApplyPlan& plan) {
  // Each name taken, and whether as a staged name.
  std::map<std::string, bool> taken;
  for (const ApplyStep& step : plan.steps) {
    if (!taken.emplace(foldedName(step.target), false).second ||
        !taken.emplace(foldedName(step.staged), true).second ||
        (!step.backup.empty() && !taken.emplace(foldedName(step.backup), false).second)) {
      return false;
    }
  }
  for (const std::string& name : plan.stagedFiles) {
    const auto found = taken.find(foldedName(name));
    if (found != taken.end() && !found->second)
      return false;
  }
  return true;
}

std::optional<ApplyStep> parseStep(LengthPrefixedReader& reader) {
  std::optional<std::string> staged = reader.text();
  if (!staged || !reader.skip(' '))
    return std::nullopt;
  std::optional<std::string> target = insideName(reader);
  if (!target || !reader.skip(' '))
    return std::nullopt;
  std::optional<std::string> backup = reader.text();
  if (!backup || !reader.skip(' '))
    return std::nullopt;
  const std::optional<std::int64_t> size = reader.fileSize();
  if (!size || !reader.atEnd())
    return std::nullopt;
  ApplyStep step{std::move(*staged), std::move(*target), std::move(*backup), *size};
  if (!namesFitTarget(step))
    return std::nullopt;
  return step;
}

// False when the line is no record of a journal.
bool readRecord(std::string_view line, ApplyPlan& plan) {
  const std::size_t space = line.find(' ');
  const std::string_view kind = line.substr(0, space);
  LengthPrefixedReader reader(
      space == std::string_view::npos ? std::string_view() : line.substr(space + 1), kMaxNameBytes);
  if (kind == kStaged || kind == kFolder) {
    std::optional<std::string> name = kind == kStaged ? reader.text() : insideName(reader);
    if (!name || !reader.atEnd() || plan.complete || (kind == kStaged && !isStagedName(*name)))
      return false;
    (kind == kStaged ? plan.stagedFiles : plan.createdFolders).push_back(std::move(*name));
    return true;
  }
  if (kind == kStep) {
    std::optional<ApplyStep> step = parseStep(reader);
    if (!step || plan.complete)
      return false;
    plan.steps.push_back(std::move(*step));
    return true;
  }
  if (space != std::string_view::npos)
    return false;
  if (kind == kComplete && !plan.complete) {
    plan.complete = true;
    return true;
  }
  if ((kind == kFinish || kind == kUndo) && plan.complete &&
      plan.decision == ApplyDecision::kNone) {
    plan.decision = kind == kFinish ? ApplyDecision::kFinish : ApplyDecision::kUndo;
    return true;
  }
  return false;
}

}  // namespace

std::string stagedRecord(std::string_view name) {
  return std::string(kStaged) + " " + lengthPrefixed(name) + "\n";
}

std::string folderRecord(std::string_view name) {
  return std::string(kFolder) + " " + lengthPrefixed(name) + "\n";
}

std::string completeRecord(const std::vector<ApplyStep>& steps) {
  std::string text;
  for (const ApplyStep& step : steps)
    text += stepLine(step);
  return text + std::string(kComplete) + "\n";
}

std::string decisionRecord(ApplyDecision decision) {
  switch (decision) {
    case ApplyDecision::kFinish:
      return std::string(kFinish) + "\n";
    case ApplyDecision::kUndo:
      return std::string(kUndo) + "\n";
    case ApplyDecision::kNone:
      break;
  }
  return {};
}

std::string journalText(const ApplyPlan& plan) {
  std::string text(kHeader);
  for (const std::string& name : plan.stagedFiles)
    text += stagedRecord(name);
  for (const std::string& name : plan.createdFolders)
    text += folderRecord(name);
  if (plan.complete)
    text += completeRecord(plan.steps);
  return text + decisionRecord(plan.decision);
}

bool journalFits(const ApplyPlan& plan) {
  return journalText(plan).size() + kDecisionRoom <= kMaxJournalBytes;
}

const ApplyStep* stepStagedAs(const ApplyPlan& plan, std::string_view name) {
  for (const ApplyStep& step : plan.steps) {
    if (base::equalsIgnoringAsciiCase(step.staged, name))
      return &step;
  }
  return nullptr;
}

const ApplyStep* stepFor(const ApplyPlan& plan, std::string_view target) {
  for (const ApplyStep& step : plan.steps) {
    if (base::equalsIgnoringAsciiCase(step.target, target))
      return &step;
  }
  return nullptr;
}

std::optional<ApplyPlan> parseJournal(std::string_view text) {
  if (text.substr(0, kHeader.size()) != kHeader)
    return std::nullopt;
  text.remove_prefix(kHeader.size());
  ApplyPlan plan;
  // Only whole lines count: a kill may have cut the last one short.
  for (std::size_t end = text.find('\n'); end != std::string_view::npos; end = text.find('\n')) {
    if (!readRecord(text.substr(0, end), plan))
      return std::nullopt;
    text.remove_prefix(end + 1);
  }
  if (!namesAreDistinct(plan))
    return std::nullopt;
  return plan;
}

JournalFile readJournal(platform::Files& files, const std::string& runDirectory) {
  const RecordBytes record =
      readRecordFile(files, base::joinPath(runDirectory, kJournalFileName), kMaxJournalBytes);
  if (record.status == RecordRead::kUnreadable)
    return {};
  std::optional<ApplyPlan> plan =
      record.status == RecordRead::kRead
          ? parseJournal(std::string_view(reinterpret_cast<const char*>(record.bytes.data()),
                                          record.bytes.size()))
          : std::nullopt;
  if (!plan)
    return {JournalRead::kDamaged, {}};
  return {JournalRead::kPlan, std::move(*plan)};
}

std::unique_ptr<JournalWriter> JournalWriter::create(platform::Files& files,
                                                     const std::string& runDirectory,
                                                     std::uint32_t* error) {
  std::string path = base::joinPath(runDirectory, kJournalFileName);
  std::unique_ptr<platform::OutputFile> file = files.createNew(path);
  if (!file) {
    if (error != nullptr)
      *error = files.lastError();
    return nullptr;
  }
  auto writer = std::make_unique<JournalWriter>(files, std::move(path), std::move(file));
  // On the disk before anything is staged: a journal cut inside its header
  // reads as no journal of ours.
  if (!writer->append(std::string(kHeader), true, kMaxJournalBytes)) {
    // Nothing is staged yet: a headless journal (a full disk) would only be
    // set aside at the next start.
    const std::uint32_t code = files.lastError();
    writer->remove();
    if (error != nullptr)
      *error = code;
    return nullptr;
  }
  return writer;
}

JournalWriter::JournalWriter(platform::Files& files, std::string path,
                             std::unique_ptr<platform::OutputFile> file)
    : files_(files), path_(std::move(path)), file_(std::move(file)) {}

bool JournalWriter::addStaged(const std::string& name) {
  plan_.stagedFiles.push_back(name);
  return append(stagedRecord(name), false, kMaxJournalBytes - kDecisionRoom);
}

bool JournalWriter::addFolder(const std::string& name) {
  plan_.createdFolders.push_back(name);
  return append(folderRecord(name), false, kMaxJournalBytes - kDecisionRoom);
}

bool JournalWriter::complete(std::vector<ApplyStep> steps) {
  plan_.steps = std::move(steps);
  plan_.complete = true;
  return append(completeRecord(plan_.steps), true, kMaxJournalBytes - kDecisionRoom);
}

bool JournalWriter::decide(ApplyDecision decision) {
  plan_.decision = decision;
  return append(decisionRecord(decision), true, kMaxJournalBytes);
}

void JournalWriter::remove() {
  if (file_) {
    file_->close();
    file_.reset();
  }
  files_.remove(path_);
}

bool JournalWriter::append(const std::string& record, bool flush, std::size_t limit) {
  if (written_ + record.size() > limit) {
    full_ = true;
    return false;
  }
  // A kill between staging records loses at most names of files that hold
  // nothing but staged bytes; the steps and the decisions are flushed.
  if (!file_ || !file_->write(record.data(), record.size()))
    return false;
  written_ += record.size();
  return !flush || file_->flush();
}

bool rewriteJournal(platform::Files& files, const std::string& runDirectory,
                    const ApplyPlan& plan) {
  return replaceRecordFile(files, base::joinPath(runDirectory, kJournalFileName),
                           journalText(plan));
}

bool setJournalAside(platform::Files& files, const std::string& runDirectory) {
  const std::optional<std::string> name =
      unusedLocalPath(files, base::joinPath(runDirectory, kUnreadableJournalFileName));
  // A move never replaces: a name taken meanwhile fails rather than losing
  // what is there.
  return name && files.move(base::joinPath(runDirectory, kJournalFileName), *name);
}

}  // namespace update
