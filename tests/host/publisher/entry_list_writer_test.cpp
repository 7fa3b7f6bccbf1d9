// The package's list is written over its placeholder only where that is
// the stored last entry pack reserved: anywhere else its bytes would land
// in another entry's data, or a reader would take the wrong length.

#include "publisher/entry_list_writer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "publisher/host/host_tools.h"
#include "publisher/package_writer.h"
#include "publisher/refusal.h"
#include "unzip_test_archives.h"

namespace {

namespace fs = std::filesystem;

class EntryListWriterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ =
        fs::temp_directory_path() /
        ("entry-list-writer-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
         "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "source" / "Data");
    std::ofstream(dir_ / "source" / "Data" / "level.pak", std::ios::binary)
        << std::string(5000, 'L');
    std::ofstream(dir_ / "source" / "readme.txt", std::ios::binary) << "read me";
  }
  void TearDown() override { fs::remove_all(dir_); }

  // The package of the source folder, its last entry `lastBytes` (the
  // placeholder of its own entries by default).
  std::string package(const std::string& name, const std::string* lastBytes = nullptr) {
    publisher::host::HostTools host;
    std::ostringstream out, err;
    publisher::Tools tools = host.tools(out, err);
    const std::vector<publisher::TreeEntry> entries =
        tools.folders.read((dir_ / "source").string());
    const std::string path = (dir_ / name).string();
    publisher::writePackage(
        path, entries, [](auto&, auto&) {}, update::kEntryListFileName,
        lastBytes ? *lastBytes : publisher::entryListPlaceholder(entries));
    return path;
  }

  fs::path dir_;
};

// The last local header: the list's, as nothing else in these small
// archives holds its signature.
std::size_t lastLocalHeader(const std::string& bytes) {
  return bytes.rfind(std::string("PK\x03\x04", 4));
}

TEST_F(EntryListWriterTest, TheListFillsItsPlaceholderAndParses) {
  const std::string path = package("whole.zip");
  const update::EntryListPlace place = publisher::completeEntryList(path);
  const std::string bytes = testing_support::readBytes(path);
  const std::string text = bytes.substr(place.offset, place.length);
  EXPECT_EQ(update::digestOfBytes(text), place.digest);
  const auto listed = update::parseEntryList(text);
  ASSERT_TRUE(listed);
  // Data/, Data/level.pak, readme.txt: the list's own entry is not listed.
  EXPECT_EQ(listed->size(), 3u);
  EXPECT_EQ(place.offset,
            lastLocalHeader(bytes) + 30 + std::string(update::kEntryListFileName).size());
}

TEST_F(EntryListWriterTest, AListThatIsNotTheStoredPlaceholderIsRefused) {
  struct Row {
    const char* what;
    std::size_t field;  // in the list's local header
    std::uint8_t value;
  };
  for (const Row& row : {Row{"written with a data descriptor", 6, 0x08}, Row{"deflated", 8, 0x08},
                         Row{"not a local header", 0, 'Q'}}) {
    const std::string path = package("tampered.zip");
    std::string bytes = testing_support::readBytes(path);
    bytes[lastLocalHeader(bytes) + row.field] = static_cast<char>(row.value);
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    EXPECT_THROW(publisher::completeEntryList(path), publisher::Refusal) << row.what;
  }
  // A directory whose first record is not one: no entry's place is known.
  {
    const std::string path = package("directory.zip");
    std::string bytes = testing_support::readBytes(path);
    bytes[bytes.find(std::string("PK\x01\x02", 4)) + 3] = 'Q';
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    EXPECT_THROW(publisher::completeEntryList(path), publisher::Refusal);
  }
  // A placeholder of another length: the list would not end at the directory.
  const std::string shorter = publisher::entryListPlaceholder({});
  const std::string path = package("short.zip", &shorter);
  EXPECT_THROW(publisher::completeEntryList(path), publisher::Refusal);
}

}  // namespace
