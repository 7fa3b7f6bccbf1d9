// A file that cannot be packed as it was listed stops the package, and the
// refusal names that file and what went wrong with it, not the archive.

#include "publisher/package_writer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "publisher/host/host_tools.h"
#include "publisher/refusal.h"

namespace {

namespace fs = std::filesystem;

// Hands out `bytes`, then fails when `failAtEnd`.
class Served final : public platform::InputFile {
 public:
  Served(std::string bytes, bool failAtEnd) : bytes_(std::move(bytes)), failAtEnd_(failAtEnd) {}
  long read(void* buffer, std::size_t size) override {
    if (at_ == bytes_.size())
      return failAtEnd_ ? -1 : 0;
    const std::size_t count = std::min(size, bytes_.size() - at_);
    std::memcpy(buffer, bytes_.data() + at_, count);
    at_ += count;
    return static_cast<long>(count);
  }

 private:
  const std::string bytes_;
  const bool failAtEnd_;
  std::size_t at_ = 0;
};

std::string utf8(const char8_t* text) {
  return reinterpret_cast<const char*>(text);
}

publisher::TreeEntry fileOf(const std::string& name, std::uint64_t listedSize,
                            std::function<std::unique_ptr<platform::InputFile>()> open) {
  publisher::TreeEntry entry;
  entry.entryName = name;
  entry.shownName = "game/" + name;
  entry.size = listedSize;
  entry.open = std::move(open);
  return entry;
}

TEST(PackageWriter, AFileThatCannotBePackedAsListedIsNamedWithItsCause) {
  const fs::path archive =
      fs::temp_directory_path() /
      ("package-writer-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
       ".zip");
  const auto served = [](std::string bytes, bool failAtEnd = false) {
    return [bytes, failAtEnd]() -> std::unique_ptr<platform::InputFile> {
      return std::make_unique<Served>(bytes, failAtEnd);
    };
  };
  const struct {
    const char* name;
    publisher::TreeEntry bad;
    std::string english, chinese;
  } rows[] = {
      {"not opened", fileOf("b.dat", 5, [] { return std::unique_ptr<platform::InputFile>(); }),
       "game/b.dat cannot be opened: close the program that holds it, and pack again",
       utf8(u8"无法打开 game/b.dat")},
      {"a read error", fileOf("b.dat", 5, served("12345", true)), "game/b.dat cannot be read",
       utf8(u8"无法读取 game/b.dat")},
      {"grown since it was listed", fileOf("b.dat", 5, served("123456")),
       "game/b.dat changed size while being packed: a program is writing it. Close that program "
       "and pack again",
       utf8(u8"game/b.dat 在打包过程中大小变了")},
      {"shrunk since it was listed", fileOf("b.dat", 5, served("1234")),
       "game/b.dat changed size while being packed", utf8(u8"game/b.dat 在打包过程中大小变了")},
  };
  publisher::host::HostTools host;
  std::ostringstream out, err;
  publisher::Tools tools = host.tools(out, err);
  for (const auto& row : rows) {
    // A good file before the bad one: the refusal is about the bad one.
    const std::vector<publisher::TreeEntry> entries = {fileOf("a.dat", 3, served("abc")), row.bad};
    try {
      publisher::writePackage(archive.string(), entries, [](auto&, auto&) {});
      ADD_FAILURE() << row.name << ": packed";
    } catch (const publisher::Refusal& refusal) {
      EXPECT_EQ(std::string(refusal.what()).substr(0, row.english.size()), row.english)
          << row.name << ": " << refusal.what();
      setenv("LC_ALL", "zh_CN.UTF-8", 1);
      const std::string chinese = refusal.said(tools);
      unsetenv("LC_ALL");
      EXPECT_EQ(chinese.substr(0, row.chinese.size()), row.chinese) << row.name;
    }
    fs::remove(archive);
  }
  // Every file read as listed, but the folder of the package goes while it
  // is written: the refusal names the package, not a file of the game.
  const fs::path gone = archive.parent_path() / (archive.stem().string() + "-folder");
  fs::create_directories(gone);
  const std::string inGone = (gone / "update.zip").string();
  try {
    publisher::writePackage(inGone, {fileOf("a.dat", 3, served("abc"))},
                            [&](auto&, auto&) { fs::remove_all(gone); });
    ADD_FAILURE() << "packed into a folder that went";
  } catch (const publisher::Refusal& refusal) {
    EXPECT_EQ(std::string(refusal.what()).rfind("cannot write " + inGone + ": ", 0), 0u)
        << refusal.what();
  }
  fs::remove_all(gone);

  // The same files whole are packed.
  const std::vector<publisher::TreeEntry> whole = {fileOf("a.dat", 3, served("abc")),
                                                   fileOf("b.dat", 5, served("12345"))};
  EXPECT_NO_THROW(publisher::writePackage(archive.string(), whole, [](auto&, auto&) {}));
  EXPECT_GT(fs::file_size(archive), 10u);
  fs::remove(archive);
}

}  // namespace
