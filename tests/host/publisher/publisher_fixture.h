#pragma once

// The publisher's tool in a box: its Linux services, a fresh folder for
// each test, and the tool run as from a command line with its output kept.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "publisher/host/host_tools.h"
#include "publisher/publisher.h"
#include "tests/host/unzip_test_archives.h"
#include "update/settings_block.h"

namespace testing_support {

// Literals here are code page 936; names on the Linux side are UTF-8.
inline std::string utf8(const char8_t* text) {
  return reinterpret_cast<const char*>(text);
}

// A stand-in launcher: a minimal PE file holding `blocks` settings blocks
// (marked with `tag`) where a built launcher holds one in its data: one
// section, whose data runs from kBlockAt to the end of the file.
inline constexpr std::size_t kBlockAt = 0x100;
inline constexpr std::size_t kBlockStride = 0x300;
inline const std::string kOldPage = "http://old.example/version.html";
inline const std::string kOldKey = "/3Uu/eadxb7ty+bGFBrKLpZHeU45wenT8ZlfHQkxQPk=";

inline std::string standInLauncher(int blocks, const std::string& page = kOldPage,
                                   const std::string& key = kOldKey,
                                   const std::string& version = "5.0",
                                   const char* tag = TAVORO_SETTINGS_BLOCK_TAG) {
  std::string bytes(0x800, '\xAB');
  bytes.replace(0, 2, "MZ");
  bytes.replace(0x3C, 4, std::string("\x80\0\0\0", 4));
  bytes.replace(0x80, 4, std::string("PE\0\0", 4));
  bytes.replace(0x84, 4, std::string("\x4C\x01\x01\0", 4));             // i386, one section
  bytes.replace(0x94, 2, std::string("\0\0", 2));                       // no optional header
  bytes.replace(0x98 + 16, 8, std::string("\0\x07\0\0\0\x01\0\0", 8));  // 0x700 at 0x100
  for (int i = 0; i < blocks; ++i) {
    update::SettingsBlock block{};
    std::memcpy(block.tag, tag, std::strlen(tag));
    std::memcpy(block.versionPageUrl, page.data(),
                std::min(page.size(), sizeof(block.versionPageUrl)));
    std::memcpy(block.publicKey, key.data(), key.size());
    std::memcpy(block.localVersion, version.data(), version.size());
    bytes.replace(kBlockAt + i * kBlockStride, sizeof(block),
                  std::string(reinterpret_cast<const char*>(&block), sizeof(block)));
  }
  return bytes;
}

// The block as the launcher's data holds it.
inline update::SettingsBlock blockOf(const std::string& bytes) {
  update::SettingsBlock block;
  std::memcpy(&block, bytes.data() + kBlockAt, sizeof(block));
  return block;
}

class PublisherTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // A parameterised test's name holds a "/": one folder all the same.
    std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    std::replace(name.begin(), name.end(), '/', '-');
    dir_ = scratchRoot() / ("tavoro-publish-" + std::to_string(::getpid()) + "-" + name);
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  // Where each test's folder goes.
  virtual fs::path scratchRoot() const { return fs::temp_directory_path(); }

  // The exit status; out() and err() hold what it printed.
  int run(const std::vector<std::string>& words) {
    out_.str({});
    err_.str({});
    publisher::Tools tools = host_.tools(out_, err_);
    return publisher::runPublisher(words, tools);
  }
  std::string out() const { return out_.str(); }
  std::string err() const { return err_.str(); }

  // A new key pair; the secret key's file, the public key returned.
  std::string keygen(const std::string& name) {
    EXPECT_EQ(run({"keygen", "--secret", path(name)}), 0) << err();
    std::string key = out();
    while (!key.empty() && key.back() == '\n')
      key.pop_back();
    return key;
  }

  std::string path(const std::string& relative) const { return (dir_ / relative).string(); }
  const fs::path& dir() const { return dir_; }

  // Every name below `folder`, relative; none when it does not exist.
  static std::set<std::string> tree(const fs::path& folder) {
    std::set<std::string> names;
    if (fs::exists(folder)) {
      for (const auto& entry : fs::recursive_directory_iterator(folder))
        names.insert(fs::relative(entry.path(), folder).string());
    }
    return names;
  }

  publisher::host::HostTools host_;
  // The apply lock a launcher takes, for unpacking a package as players do.
  platform::host::FakeNamedEvents events_;

 private:
  fs::path dir_;
  std::ostringstream out_;
  std::ostringstream err_;
};

}  // namespace testing_support
