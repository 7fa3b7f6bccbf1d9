// tavoro-publish show reads a launcher in blocks as they stream by: a
// settings block anywhere in the file is found, and a file of any size is
// looked at in bounded memory. stamp, which writes a copy whole, reads at
// most a launcher's worth.

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "publisher/settings_scan.h"
#include "tests/host/publisher/publisher_fixture.h"

namespace {

using namespace testing_support;

constexpr std::size_t kChunk = 64 * 1024;             // what show reads at a time
constexpr std::uint64_t kSixtyFourMiB = 64ull << 20;  // the most stamp reads
const std::string kPage = "http://far.example/v.html";
const std::string kKey = "3ohqBwVff128zHRTwyyaRTqGMwyGulkdayzQn+1abjs=";

// The settings block a stand-in launcher holds.
std::string settingsBlock(const std::string& version = "7.0",
                          const char* tag = TAVORO_SETTINGS_BLOCK_TAG) {
  return standInLauncher(1, kPage, kKey, version, tag)
      .substr(kBlockAt, sizeof(update::SettingsBlock));
}

// A stand-in launcher's headers and section (no block in them), then
// filler up to `size` bytes, with `at` placed over it.
std::string programWith(std::size_t size,
                        const std::vector<std::pair<std::size_t, std::string>>& at) {
  std::string bytes = standInLauncher(0);
  // Filler with the tag's first letters in it, and a tag's start cut short.
  for (std::size_t i = bytes.size(); i < size; ++i)
    bytes += i % 97 == 0 ? 't' : static_cast<char>('a' + i % 23);
  for (std::size_t boundary = kChunk; boundary + 16 < size; boundary += kChunk)
    bytes.replace(boundary - 12, 24, std::string(TAVORO_SETTINGS_BLOCK_TAG).substr(0, 24));
  for (const auto& [offset, text] : at)
    bytes.replace(offset, text.size(), text);
  return bytes;
}

class ShowTest : public PublisherTest {};

TEST_F(ShowTest, FindsTheBlockPastTheFirstChunkAndAcrossEachBoundary) {
  const std::string block = settingsBlock();
  const std::string said =
      "  version page: " + kPage + "\n  public key: " + kKey + "\n  version: 7.0\n";
  const struct {
    std::size_t at;
    std::size_t size;
  } rows[] = {
      {0x800, 3 * kChunk},
      {kChunk - 32, 3 * kChunk},                        // the tag ends where a chunk ends
      {kChunk - 31, 3 * kChunk},                        // all but its last byte in the first chunk
      {kChunk - 1, 3 * kChunk},                         // its first byte alone
      {kChunk, 3 * kChunk},                             // starts the second chunk
      {kChunk - 100, 3 * kChunk},                       // the tag whole, the fields across
      {3 * kChunk - 16, 5 * kChunk},                    // a later boundary
      {5 * kChunk + 7, 5 * kChunk + 7 + block.size()},  // the file's last bytes
      {(5 << 20) + 3, 6 << 20},
  };
  for (const auto& row : rows) {
    writeBytes(path("in.exe"), programWith(row.size, {{row.at, block}}));
    EXPECT_EQ(run({"show", path("in.exe")}), 0) << row.at << ": " << err();
    EXPECT_EQ(out(), path("in.exe") + ":\n" + said) << row.at;
  }

  // What the whole file holds counts, wherever the chunks end.
  const struct {
    std::vector<std::pair<std::size_t, std::string>> at;
    std::string says;
  } refused[] = {
      {{{0x800, block}, {2 * kChunk - 20, block}}, "in.exe: it carries its update settings twice"},
      {{{kChunk - 10, settingsBlock("5.0", TAVORO_SETTINGS_BLOCK_TAG_WITHOUT_VERSION)}},
       "in.exe: a launcher of an earlier release"},
      {{{kChunk - 10, block.substr(0, 100)}}, "in.exe: its update settings are damaged"},
      {{{3 * kChunk - 40, block.substr(0, 100)}}, "in.exe: its update settings are cut short"},
      {{}, "in.exe is no launcher: it carries no update settings"},
  };
  for (const auto& row : refused) {
    writeBytes(path("in.exe"), programWith(3 * kChunk, row.at));
    EXPECT_EQ(run({"show", path("in.exe")}), 1) << row.says;
    EXPECT_NE(err().find(row.says), std::string::npos) << row.says << ": " << err();
    EXPECT_EQ(out(), "") << row.says;
  }
}

// A program whose headers lie past the first chunk is read again for them.
TEST_F(ShowTest, ReadsHeadersPastTheFirstChunkAgain) {
  const std::size_t pe = 2 * kChunk + 8;
  std::string program = programWith(3 * kChunk, {{0x800, settingsBlock()}});
  const std::string standIn = standInLauncher(0);
  program.replace(0x3C, 4, std::string("\x08\0\x02\0", 4));  // the PE header at `pe`
  program.replace(pe, 0x20 + 40, standIn.substr(0x80, 0x20 + 40));
  writeBytes(path("in.exe"), program);
  EXPECT_EQ(run({"show", path("in.exe")}), 0) << err();
  EXPECT_NE(out().find("  version: 7.0\n"), std::string::npos) << out();

  program.replace(pe, 4, "PX\0\0");
  writeBytes(path("in.exe"), program);
  EXPECT_EQ(run({"show", path("in.exe")}), 1);
  EXPECT_NE(err().find("in.exe is no launcher: not a Windows program"), std::string::npos) << err();
}

// The PE header's place, at the file's very end or past it, and the
// section's numbers read whole.
TEST_F(ShowTest, APeHeaderInTheLastBytesIsOneAndPastThemNone) {
  std::string atEnd = standInLauncher(1);
  atEnd.replace(0x3C, 4, std::string("\xFC\x07\0\0", 4));  // 0x7FC: the last four bytes
  atEnd.replace(0x7FC, 4, std::string("PE\0\0", 4));
  std::string past = atEnd;
  past.replace(0x3C, 4, std::string("\xFD\x07\0\0", 4));
  past.replace(0x7FD, 3, std::string("PE\0", 3));
  std::string none = standInLauncher(1);
  none.replace(0x3C, 4, std::string(4, '\0'));
  // 0x701 bytes at 0xFF: to the file's end, no further.
  std::string odd = standInLauncher(1);
  odd.replace(0x98 + 16, 8, std::string("\x01\x07\0\0\xFF\0\0\0", 8));
  const struct {
    std::string name, file;
    int status;
    std::string says;
  } rows[] = {
      {"a section from an odd place", odd, 0, "  version: 5.0\n"},
      {"the last four bytes", atEnd, 1,
       "in.exe: the file is cut short: it has 2048 bytes, its program's sections reach to byte "
       "2049"},
      {"three bytes left", past, 1, "in.exe is no launcher: not a Windows program"},
      {"at byte 0", none, 1, "in.exe is no launcher: not a Windows program"},
  };
  for (const auto& row : rows) {
    writeBytes(path("in.exe"), row.file);
    EXPECT_EQ(run({"show", path("in.exe")}), row.status) << row.name << ": " << err();
    EXPECT_NE((row.status == 0 ? out() : err()).find(row.says), std::string::npos)
        << row.name << ": " << out() << err();
  }
}

// A file's bytes in memory, read in pieces of at most `piece` bytes; a
// read error once `failAt` bytes were read.
class BytesInput final : public platform::InputFile {
 public:
  BytesInput(const std::string& bytes, std::size_t piece, std::size_t failAt = SIZE_MAX)
      : bytes_(bytes), piece_(piece), failAt_(failAt) {}
  long read(void* buffer, std::size_t size) override {
    if (at_ >= failAt_)
      return -1;
    const std::size_t count = std::min({size, piece_, bytes_.size() - at_});
    std::memcpy(buffer, bytes_.data() + at_, count);
    at_ += count;
    return static_cast<long>(count);
  }

 private:
  const std::string& bytes_;
  const std::size_t piece_;
  const std::size_t failAt_;
  std::size_t at_ = 0;
};

// The file is read once, in blocks; again only for bytes past its first
// block and the settings block, and never past its end.
TEST(StreamedProgram, ReadsOnceAndAgainOnlyForWhatItDidNotKeep) {
  const std::size_t block = 2 * kChunk + 5;
  const std::string program = programWith(3 * kChunk, {{block, settingsBlock()}});
  const std::string_view bytes = program;
  int opens = 0;
  publisher::StreamedProgram streamed(
      [&] {
        ++opens;
        return std::make_unique<BytesInput>(program, 1000);
      },
      program.size());
  const auto at = [&](std::uint64_t offset, std::size_t count) {
    const base::Bytes got = streamed.at(offset, count);
    return std::string(got.begin(), got.end());
  };
  EXPECT_EQ(at(0, 2), "MZ");
  EXPECT_EQ(at(kChunk - 4, 4), bytes.substr(kChunk - 4, 4));
  EXPECT_EQ(opens, 1);
  const publisher::TagCounts tags = streamed.tags();
  EXPECT_EQ(tags.current, 1u);
  EXPECT_EQ(tags.firstCurrent, block);
  EXPECT_EQ(at(block, sizeof(update::SettingsBlock)), settingsBlock());
  EXPECT_EQ(at(block + sizeof(update::SettingsBlock) - 4, 4),
            settingsBlock().substr(sizeof(update::SettingsBlock) - 4));
  EXPECT_EQ(opens, 1) << "read again for what it kept";
  EXPECT_EQ(at(kChunk - 2, 4), bytes.substr(kChunk - 2, 4));
  EXPECT_EQ(opens, 2);
  EXPECT_EQ(at(program.size() - 2, 10), bytes.substr(program.size() - 2));
  EXPECT_EQ(at(program.size(), 4), "");
  EXPECT_EQ(streamed.tags().firstCurrent, block);
  EXPECT_EQ(opens, 3);

  const base::Bytes whole(program.begin(), program.end());
  publisher::ProgramInMemory memory(whole);
  const base::Bytes last = memory.at(program.size() - 2, 10);
  EXPECT_EQ(std::string(last.begin(), last.end()), bytes.substr(program.size() - 2));
  EXPECT_TRUE(memory.at(program.size(), 1).empty());

  // A file shorter than it said, one that fails to be read, or none at all.
  publisher::StreamedProgram shorter([&] { return std::make_unique<BytesInput>(program, 1000); },
                                     program.size() + 1);
  EXPECT_THROW(shorter.tags(), publisher::ReadFailed);
  publisher::StreamedProgram failing(
      [&] { return std::make_unique<BytesInput>(program, 1000, kChunk + 3000); }, program.size());
  EXPECT_THROW(failing.tags(), publisher::ReadFailed);
  EXPECT_THROW(
      publisher::StreamedProgram([&] { return std::make_unique<BytesInput>(program, 1000, 100); },
                                 program.size()),
      publisher::ReadFailed);
  EXPECT_THROW(publisher::StreamedProgram([] { return nullptr; }, 10), publisher::ReadFailed);
}

// The file `size` bytes long, holding `start` at its start and nothing but
// a hole after it.
void sparseFile(const fs::path& file, const std::string& start, std::uint64_t size,
                const std::string& end = "") {
  const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::pwrite(fd, start.data(), start.size(), 0), static_cast<ssize_t>(start.size()));
  ASSERT_EQ(::ftruncate(fd, static_cast<off_t>(size)), 0);
  if (!end.empty()) {
    ASSERT_EQ(::pwrite(fd, end.data(), end.size(), static_cast<off_t>(size - end.size())),
              static_cast<ssize_t>(end.size()));
  }
  ::close(fd);
}

struct Finished {
  bool exited = false;
  int status = -1;
  std::string out, err;
};

// The built tool run as a program of its own, its address space held to
// `limit` bytes: what it needs beyond that it cannot have.
Finished runLimited(const std::vector<std::string>& words, const fs::path& folder, rlim_t limit) {
  const fs::path out = folder / "tool.out", err = folder / "tool.err";
  const pid_t child = ::fork();
  if (child == 0) {
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
    // (The sanitizers reserve far more address space than any limit.)
    const rlimit held{limit, limit};
    ::setrlimit(RLIMIT_AS, &held);
#endif
    ::dup2(::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 1);
    ::dup2(::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 2);
    std::vector<char*> argv = {const_cast<char*>(TAVORO_PUBLISH_TOOL)};
    for (const std::string& word : words)
      argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  return {WIFEXITED(status), WIFEXITED(status) ? WEXITSTATUS(status) : -1, readBytes(out),
          readBytes(err)};
}

TEST_F(ShowTest, LooksAtAFileOfThreeGigabytesInBoundedMemory) {
  const std::uint64_t size = 3ull << 30;
  const rlim_t limit = 512 << 20;
  const std::string program = programWith(0x1000, {});
  const struct {
    std::string name;
    std::string start, end;
    int status;
    std::string says;
  } rows[] = {
      {"nothing but zeros", "", "", 1, "is no launcher: not a Windows program"},
      {"a program's headers, no block", program, "", 1, "is no launcher: it carries no update settings"},
      {"the block in its last bytes", program, settingsBlock(), 0, "  version: 7.0\n"},
  };
  for (const auto& row : rows) {
    sparseFile(dir() / "big.exe", row.start, size, row.end);
    const Finished run = runLimited({"show", path("big.exe")}, dir(), limit);
    EXPECT_TRUE(run.exited) << row.name << ": ended by signal";
    EXPECT_EQ(run.status, row.status) << row.name << ": " << run.err;
    EXPECT_NE((row.status == 0 ? run.out : run.err).find(row.says), std::string::npos)
        << row.name << ": " << run.out << run.err;
  }
  fs::remove(dir() / "big.exe");
}

// stamp writes its copy whole, and so reads the launcher whole: at most a
// launcher's worth of it.
TEST_F(ShowTest, StampReadsAtMostALaunchersWorth) {
  const std::string launcher = standInLauncher(1);
  sparseFile(dir() / "in.exe", launcher, kSixtyFourMiB + 1);
  const std::vector<std::string> call = {"stamp",         "--in",   path("in.exe"), "--out",
                                         path("out.exe"), "--page", kPage};
  EXPECT_EQ(run(call), 1);
  EXPECT_EQ(err(), "tavoro-publish stamp: " + path("in.exe") +
                       " has 67108865 bytes; a launcher "
                       "has a few MiB, and stamp reads at most 64 MiB: this is no launcher. Take "
                       "launcher.exe from the release archive\n");
  EXPECT_FALSE(fs::exists(dir() / "out.exe"));

  sparseFile(dir() / "in.exe", launcher, kSixtyFourMiB);
  EXPECT_EQ(run(call), 0) << err();
  EXPECT_EQ(fs::file_size(dir() / "out.exe"), kSixtyFourMiB);
  std::ifstream copy(dir() / "out.exe", std::ios::binary);
  std::string head(kBlockAt + sizeof(update::SettingsBlock), '\0');
  copy.read(head.data(), static_cast<std::streamsize>(head.size()));
  EXPECT_EQ(std::string(blockOf(head).versionPageUrl), kPage);
}

}  // namespace
