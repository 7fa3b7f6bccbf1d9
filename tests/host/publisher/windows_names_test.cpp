// How the tool sees names and paths as Windows does, and the causes it
// gives for failures.

#include <gtest/gtest.h>

#include <unistd.h>

#include <cerrno>
#include <clocale>
#include <cwctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "platform/host/host_services.h"
#include "publisher/file_problems.h"
#include "publisher/host/host_tools.h"
#include "publisher/system_error.h"
#include "publisher/windows_names.h"

namespace {

// Every two-byte character of code page 936 folds as the host's own case
// mapping (towlower, Unicode's simple mapping, which Windows' name
// comparison follows) says: two characters fold alike exactly when their
// lower cases are one.
TEST(WindowsNames, FoldingAgreesWithTheHostsCaseMappingOnEveryCharacter) {
  if (std::setlocale(LC_CTYPE, "C.UTF-8") == nullptr)
    GTEST_SKIP() << "no C.UTF-8 locale";
  std::map<wchar_t, std::string> foldedByLower;
  int pairs = 0;
  for (int lead = 0x81; lead <= 0xFE; ++lead) {
    for (int trail = 0x40; trail <= 0xFE; ++trail) {
      const std::string character{static_cast<char>(lead), static_cast<char>(trail)};
      const std::optional<std::string> wide =
          platform::host::convertWithIconv("UTF-32LE", "GBK", character, nullptr);
      if (trail == 0x7F || !wide || wide->size() != 4)
        continue;
      wchar_t code = 0;
      for (int i = 3; i >= 0; --i)
        code = (code << 8) | static_cast<unsigned char>((*wide)[i]);
      const wchar_t lower = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(code)));
      const std::string folded = publisher::windowsFoldedName(character);
      const auto [first, fresh] = foldedByLower.emplace(lower, folded);
      if (!fresh) {
        ++pairs;
        EXPECT_EQ(first->second, folded) << std::hex << lead << " " << trail;
      }
    }
  }
  EXPECT_EQ(pairs, 10 + 26 + 24 + 33);
  // And no two characters of different lower case fold alike.
  std::map<std::string, wchar_t> lowerByFolded;
  for (const auto& [lower, folded] : foldedByLower)
    EXPECT_TRUE(lowerByFolded.emplace(folded, lower).second)
        << std::hex << static_cast<long>(lower);
  std::setlocale(LC_CTYPE, "C");
  EXPECT_EQ(publisher::windowsFoldedName("Data/A\xA6\xB8.TXT/"), "data/a\xA6\xD8.txt");
}

TEST(WindowsNames, TrailingDotsAndSpacesAndThePathsLimit) {
  const struct {
    std::string name;
    bool refused;
  } cases[] = {
      {"a.txt", false},
      {"a.txt.", true},
      {"a.txt ", true},
      {"a/dir./b.txt", true},
      {"dir./a.txt", true},
      {"dir /a.txt", true},
      {"dir/", false},
      {"dir./", true},
      {".hidden", false},
      {"\xB5\x2E", true},  // a one-byte "." after a lone lead byte
      {std::string(160, 'x'), false},
      {std::string(160, 'x') + "/", false},
      {std::string(161, 'x'), true},
      // Two-byte characters count once each, as Windows counts them.
      {std::string(320, '\xB5'), false},
      {std::string(322, '\xB5'), true},
  };
  for (const auto& c : cases)
    EXPECT_EQ(publisher::windowsNameProblem(c.name, c.name).has_value(), c.refused) << c.name;
}

TEST(FilePaths, ParentsAsWritten) {
  const std::pair<std::string, std::string> cases[] = {
      {"out", "."},
      {"a/b", "a"},
      {"a/b/", "a"},
      {"/x", "/"},
      {"/", "/"},
      {"C:\\x", "C:\\"},
      {"C:x", "C:"},
      {"a\\b\\c", "a\\b"},
      {"\xB5\\\\x", "\xB5\\"},  // the "\" after a lead byte is a character's second byte
  };
  for (const auto& [path, parent] : cases)
    EXPECT_EQ(publisher::parentPath(path), parent) << path;
}

TEST(FilePaths, TheSystemsErrorsInWordsAPublisherCanActOn) {
  const std::pair<int, std::string> cases[] = {
      {ENOENT, "not found"},
      {ENOTDIR, "not found"},
      {EACCES, "access denied"},
      {EPERM, "access denied"},
      {EROFS, "access denied"},
      {ENOSPC, "no space left on the drive"},
      {EDQUOT, "no space left on the drive"},
      {ETXTBSY, "in use by another program"},
      {EBUSY, "in use by another program"},
      {EIO, "Input/output error"},
  };
  for (const auto& [code, words] : cases) {
    const publisher::SystemError error = publisher::host::systemErrorOf(code);
    const std::optional<publisher::Message> cause = publisher::causeOf(error);
    EXPECT_EQ(cause ? publisher::textsOf(*cause).english : error.text, words) << code;
  }
}

TEST(FilePaths, ASystemsCodeIsSortedByItsListAndItsWordsTidied) {
  using Kind = publisher::SystemError::Kind;
  struct Row {
    std::int64_t code;
    const char* words;
    Kind kind;
    std::string text;
  };
  const Row rows[] = {
      {2, "The system cannot find the file specified.\r\n", Kind::kNotFound,
       "The system cannot find the file specified"},
      {3, "Path\n", Kind::kNotFound, "Path"},  // a later code of the same list
      {5, "Access is denied...", Kind::kAccessDenied, "Access is denied"},
      {112, "Disk full", Kind::kNoSpace, "Disk full"},
      {39, "Handle disk full", Kind::kNoSpace, "Handle disk full"},
      {0, "", Kind::kOther, "error 0"},
      {4, "Too many files. Closed.\r\n", Kind::kOther, "Too many files. Closed"},
      {-1, ".\r\n", Kind::kOther, "error -1"},
      {0xC0000142, "", Kind::kOther, "error 3221225794"},  // past a 32-bit long
  };
  for (const Row& row : rows) {
    const publisher::SystemError error = publisher::systemError(row.code, row.words,
                                                                {{Kind::kNotFound, {2, 3}},
                                                                 {Kind::kAccessDenied, {5}},
                                                                 {Kind::kInUse, {}},
                                                                 {Kind::kNoSpace, {112, 39}}});
    EXPECT_EQ(error.kind, row.kind) << row.code;
    EXPECT_EQ(error.text, row.text) << row.code;
  }
}

}  // namespace

// Why a file could not be read or written, told from what is at its path
// before the system's own error: each cause a publisher acts on otherwise.
TEST(FilePaths, AFailedReadOrWriteNamesWhatIsInTheWay) {
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("tavoro-causes-" + std::to_string(getpid()));
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder / "sub");
  const std::string base = folder.string();
  std::ofstream(folder / "file.txt") << "x";
  std::ofstream(folder / "empty.txt");
  setenv("LC_ALL", "C", 1);
  publisher::host::HostTools host;
  std::ostringstream sink;
  publisher::Tools tools = host.tools(sink, sink);
  using publisher::Message;
  struct Row {
    std::string path;
    int error;  // the system's, as left by the failed call
    std::string read;
    std::string written;
  };
  const std::vector<Row> rows = {
      {base + "/none.txt", ENOENT, "not found",
       "cannot write " + base + "/none.txt: access denied"},
      {base + "/sub", EISDIR, "is a folder, not a file",
       "cannot write " + base + "/sub: is a folder"},
      {base + "/empty.txt", EACCES, "the file is empty",
       "cannot write " + base + "/empty.txt: access denied"},
      {base + "/file.txt", EACCES, "access denied",
       "cannot write " + base + "/file.txt: access denied"},
      {base + "/file.txt/x", ENOTDIR, "not found",
       "cannot write " + base + "/file.txt/x: " + base + "/file.txt is a file, not a folder"},
      {base + "/gone/x", ENOENT, "not found",
       "cannot write " + base + "/gone/x: the folder " + base + "/gone does not exist"},
  };
  for (const Row& row : rows) {
    errno = row.error;
    EXPECT_EQ(publisher::readFailure(tools, row.path), "cannot read " + row.path + ": " + row.read);
    errno = row.error == ENOENT ? EACCES : row.error;
    EXPECT_EQ(publisher::writeFailure(tools, Message::kActWrite, row.path), row.written);
  }
  // A folder that cannot be made is no folder in the way.
  errno = EACCES;
  EXPECT_EQ(publisher::writeFailure(tools, Message::kActCreateFolder, base + "/sub"),
            "cannot create the folder " + base + "/sub: access denied");
  unsetenv("LC_ALL");
  std::filesystem::remove_all(folder);
}
