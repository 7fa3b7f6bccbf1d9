#pragma once

// The publisher's tool in a box: its Linux services, a fresh folder for
// each test, and the tool run as from a command line with its output kept.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "publisher/host/host_tools.h"
#include "publisher/publisher.h"
#include "tests/host/unzip_test_archives.h"

namespace testing_support {

// Literals here are code page 936; names on the Linux side are UTF-8.
inline std::string utf8(const char8_t* text) {
  return reinterpret_cast<const char*>(text);
}

class PublisherTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("tavoro-publish-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

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

 private:
  fs::path dir_;
  std::ostringstream out_;
  std::ostringstream err_;
};

}  // namespace testing_support
