// The journal's bound: the longest a recovery reads, one byte past it, and
// the writer's keeping to it.

#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tests/host/test_support.h"
#include "tests/host/unzip_test_archives.h"
#include "update/package/apply_journal.h"
#include "update/package/record_file.h"
#include "update/package/staged_apply.h"
#include "update/package/unzip.h"

namespace {

using namespace testing_support;
using Tree = std::map<std::string, std::string>;
using update::ApplyDecision;
using update::Recovery;

Tree with(Tree tree, const Tree& changes) {
  for (const auto& [name, bytes] : changes)
    tree[name] = bytes;
  return tree;
}

// The journal of a real apply killed once everything was staged, its last
// record cut short by the kill (a line without its end, which a recovery
// passes over), to the longest journal a recovery reads: finished. One
// byte longer, it is no journal, and nothing is touched.
class JournalBoundTest : public LauncherTest {
 protected:
  fs::path game() const { return runDir() / "game"; }
  fs::path journal() const { return game() / update::kJournalFileName; }

  // The folder's files, a journal's (at its name or set aside) by its
  // length: a 64 MiB string is slow to compare bytewise in a debug build.
  Tree filesByJournalLength() const {
    Tree tree;
    for (const auto& entry : fs::recursive_directory_iterator(game())) {
      const std::string name = fs::relative(entry.path(), game()).string();
      if (name.rfind(update::kJournalFileName, 0) == 0)
        tree[name] = std::to_string(entry.file_size()) + " bytes";
      else if (entry.is_regular_file())
        tree[name] = readBytes(entry.path());
    }
    return tree;
  }

  static std::string wholeFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
  }
};

TEST_F(JournalBoundTest, TheLongestJournalIsRecoveredAndOneBytePastItIsSetAside) {
  const Tree old = {{"launcher.exe", "old launcher"}, {"Data/a.pak", "old a"}};
  const std::vector<std::pair<std::string, std::string>> package = {
      {"launcher.exe", "new launcher"}, {"Data/a.pak", "new a"}, {"Data/b.pak", "new b"}};
  zipWithPython(runDir() / "p.zip", package);
  Tree staged = old;
  staged["launcher.exe.unpacking"] = "new launcher";
  staged["Data/a.pak.unpacking"] = "new a";
  staged["Data/b.pak.unpacking"] = "new b";
  const std::string header = "tavoro-update-journal/1\n";
  for (const std::size_t length : {update::kMaxJournalBytes, update::kMaxJournalBytes + 1}) {
    SCOPED_TRACE(length);
    fs::remove_all(game());
    for (const auto& [name, bytes] : old)
      writeBytes(game() / name, bytes);
    {
      const std::unique_ptr<update::JournalWriter> writer =
          update::JournalWriter::create(os.files, game().string());
      ASSERT_TRUE(writer);
      ASSERT_EQ(update::stageArchive(os.files, os.codec, (runDir() / "p.zip").string(),
                                     game().string(), *writer, [](int) {}),
                update::StageResult::kStaged);
    }
    std::string text = readBytes(journal());
    ASSERT_EQ(text.substr(0, header.size()), header);
    text += "step 1000:";
    text += std::string(length - text.size(), 'p');
    ASSERT_EQ(text.size(), length);
    writeBytes(journal(), text);

    ASSERT_EQ(filesByJournalLength(),
              with(staged, {{update::kJournalFileName, std::to_string(length) + " bytes"}}));
    if (length == update::kMaxJournalBytes) {
      EXPECT_EQ(update::recoverInterruptedUpdate(os.files, os.namedEvents, game().string()),
                Recovery::kFinished);
      Tree all = old;
      for (const auto& [name, bytes] : package)
        all[name] = bytes;
      EXPECT_EQ(filesByJournalLength(), all);
    } else {
      EXPECT_EQ(update::recoverInterruptedUpdate(os.files, os.namedEvents, game().string()),
                Recovery::kSetAside);
      EXPECT_EQ(
          filesByJournalLength(),
          with(staged, {{update::kUnreadableJournalFileName, std::to_string(length) + " bytes"}}));
      EXPECT_TRUE(wholeFile(game() / update::kUnreadableJournalFileName) == text)
          << "the journal set aside as it was";
    }
  }
}

// Records that would take the journal past the bound are refused: the
// journal on the disk always reads whole, its decision included.
TEST_F(JournalBoundTest, TheWriterStopsShortOfTheBoundWithRoomForTheDecision) {
  fs::create_directories(game());
  const std::unique_ptr<update::JournalWriter> writer =
      update::JournalWriter::create(os.files, game().string());
  ASSERT_TRUE(writer);
  const std::string name = std::string(1000, 'n') + ".unpacking";
  const std::size_t header = fs::file_size(journal());
  const std::size_t record = update::stagedRecord(name).size();
  const std::size_t decision = update::decisionRecord(ApplyDecision::kFinish).size();
  std::size_t records = 0;
  while (writer->addStaged(name))
    ++records;
  EXPECT_TRUE(writer->full());
  EXPECT_EQ(records, (update::kMaxJournalBytes - header - decision) / record)
      << "as many as leave room for the decision";
  ASSERT_TRUE(writer->decide(ApplyDecision::kFinish));
  const std::size_t onDisk = fs::file_size(journal());
  EXPECT_EQ(onDisk, header + records * record + decision);
  EXPECT_LE(onDisk, update::kMaxJournalBytes);
  EXPECT_EQ(update::readRecordFile(os.files, journal().string(), update::kMaxJournalBytes).status,
            update::RecordRead::kRead);
}

// Filled to the byte: a record that just fits is taken, and the decision
// ends the journal at the bound itself.
TEST_F(JournalBoundTest, ARecordThatJustFitsIsTakenAndTheDecisionReachesTheBound) {
  fs::create_directories(game());
  const std::unique_ptr<update::JournalWriter> writer =
      update::JournalWriter::create(os.files, game().string());
  ASSERT_TRUE(writer);
  const std::string name = std::string(1000, 'n') + ".unpacking";
  const std::size_t record = update::stagedRecord(name).size();
  const std::size_t decision = update::decisionRecord(ApplyDecision::kFinish).size();
  std::size_t left = update::kMaxJournalBytes - decision - fs::file_size(journal());
  for (; left > 2000; left -= record)
    ASSERT_TRUE(writer->addStaged(name));
  // Two records of three-digit names for the rest: each 12 bytes besides.
  const std::size_t names = left - 24;
  ASSERT_TRUE(writer->addStaged(std::string(names / 2 - 10, 'a') + ".unpacking"));
  ASSERT_TRUE(writer->addStaged(std::string(names - names / 2 - 10, 'b') + ".unpacking"));
  EXPECT_FALSE(writer->full());
  EXPECT_FALSE(writer->addStaged("c.unpacking"));
  EXPECT_TRUE(writer->full());
  ASSERT_TRUE(writer->decide(ApplyDecision::kFinish));
  EXPECT_EQ(fs::file_size(journal()), update::kMaxJournalBytes);
}

// What the publisher's tool checks before a package is made is what the
// writer takes: a complete plan up to the bound less the decision's room.
TEST(JournalFits, ToTheByteWithRoomForTheDecision) {
  const std::size_t target =
      update::kMaxJournalBytes - update::decisionRecord(ApplyDecision::kFinish).size();
  update::ApplyPlan plan;
  plan.complete = true;
  const auto sizeWith = [&](std::size_t nameLength) {
    plan.createdFolders = {std::string(nameLength, 'f')};
    return update::journalText(plan).size();
  };
  const std::size_t guess = target - 100;
  const std::size_t exact = guess + (target - sizeWith(guess));
  ASSERT_EQ(sizeWith(exact), target);
  EXPECT_TRUE(update::journalFits(plan));
  sizeWith(exact + 1);
  EXPECT_FALSE(update::journalFits(plan));
  plan.createdFolders.clear();
  EXPECT_TRUE(update::journalFits(plan));
}

}  // namespace
