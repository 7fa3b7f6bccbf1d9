#pragma once

// The journal of an update being applied: a small text file in the run
// directory that names every file the update stages, every folder it
// creates and every step of the apply, each before it happens, so that a
// launcher started after a kill can bring the folder to all old or all new.
// A step's own progress is not written: each is a rename, and whether it
// has happened can be read off the files themselves.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/files.h"
#include "update/record_names.h"

namespace update {

// The longest journal there is: a file of the package takes a staged
// record, a step (three names and a size) and the records of the folders it
// opens, four times its name and some 80 bytes. 64 MiB holds 65 535 files
// (the most a ZIP archive counts without its 64-bit extension) with names
// of 230 bytes, where real names are a fraction of that; the writer keeps
// to it, so a longer file is no journal of ours, and is never read past it.
inline constexpr std::size_t kMaxJournalBytes = 64 * 1024 * 1024;

// One file of the package, names relative to the run directory: staged
// beside its target, then the target (if there was one) moved to its
// backup name and the staged file moved into place.
struct ApplyStep {
  std::string staged;
  std::string target;
  std::string backup;  // empty: no file had the target's name
  std::int64_t size = 0;
};

enum class ApplyDecision { kNone, kFinish, kUndo };

struct ApplyPlan {
  // Every staged name, written before the file was created.
  std::vector<std::string> stagedFiles;
  // Folders the update created, in the order it created them.
  std::vector<std::string> createdFolders;
  std::vector<ApplyStep> steps;
  // Everything is staged and every step is listed: the apply may begin.
  bool complete = false;
  ApplyDecision decision = ApplyDecision::kNone;
};

// The journal's text up to now, and what each addition appends.
std::string journalText(const ApplyPlan& plan);
std::string stagedRecord(std::string_view name);
std::string folderRecord(std::string_view name);
std::string completeRecord(const std::vector<ApplyStep>& steps);
std::string decisionRecord(ApplyDecision decision);

// True when the writer takes the whole of a complete plan whose decision
// is still to come: its journal keeps within kMaxJournalBytes.
bool journalFits(const ApplyPlan& plan);

// The step whose staged file, or whose target, has that name (ASCII letter
// case aside, as Windows names files); null when none has.
const ApplyStep* stepStagedAs(const ApplyPlan& plan, std::string_view name);
const ApplyStep* stepFor(const ApplyPlan& plan, std::string_view target);

// Nothing when the text is no journal of ours; a last line cut short by a
// kill is left out. What the apply itself would not have written makes the
// whole journal unusable: a name that could lead outside the run directory
// or is not written as the apply writes names, a staged or backup name
// that is not one the apply takes for its target, a name twice.
std::optional<ApplyPlan> parseJournal(std::string_view text);

enum class JournalRead {
  kPlan,
  // Read whole, and no journal of ours (longer than any, or damaged).
  kDamaged,
  // Missing, or not handed over whole: it may be one.
  kUnreadable,
};

struct JournalFile {
  JournalRead read = JournalRead::kUnreadable;
  // When kPlan.
  ApplyPlan plan;
};

// The journal of the run directory, read with its bound.
JournalFile readJournal(platform::Files& files, const std::string& runDirectory);

// The journal file of one apply, held open and written to as it goes.
// Dropped without remove(), it stays for the next start's recovery.
class JournalWriter {
 public:
  // Null when a file of the journal's name exists or cannot be created, or
  // its header not written (then it is removed again); `error`, when given,
  // then holds the system's code. The header is on the disk before it
  // returns.
  static std::unique_ptr<JournalWriter> create(platform::Files& files,
                                               const std::string& runDirectory,
                                               std::uint32_t* error = nullptr);
  JournalWriter(platform::Files& files, std::string path,
                std::unique_ptr<platform::OutputFile> file);

  const ApplyPlan& plan() const { return plan_; }
  // Each false when the journal cannot be written, or would grow past
  // kMaxJournalBytes: the last records always have room for a decision.
  bool addStaged(const std::string& name);
  bool addFolder(const std::string& name);
  // Lists the steps and marks the staging done, on the disk before it returns.
  bool complete(std::vector<ApplyStep> steps);
  // The decision on the disk before it returns.
  bool decide(ApplyDecision decision);
  // An addition was refused for the journal's length, not by the system.
  bool full() const { return full_; }
  // Closes and deletes the journal: the update is over.
  void remove();

 private:
  bool append(const std::string& record, bool flush, std::size_t limit);

  platform::Files& files_;
  std::string path_;
  std::unique_ptr<platform::OutputFile> file_;
  ApplyPlan plan_;
  std::size_t written_ = 0;
  bool full_ = false;
};

// Writes the whole journal afresh under its name, on the disk before it
// returns: a recovery's decision about a journal it did not write.
bool rewriteJournal(platform::Files& files, const std::string& runDirectory, const ApplyPlan& plan);

// Moves the journal to a name no file has, out of the way of the next
// update but kept for whoever wants to see what it held; false when it
// stays where it is.
bool setJournalAside(platform::Files& files, const std::string& runDirectory);

}  // namespace update
