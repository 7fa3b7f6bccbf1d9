// The package's digest taken while the download writes it must be the
// digest of the finished file, however the writes and reports interleave.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/host/host_services.h"
#include "update/package_digest_follower.h"
#include "update/package_signature.h"

namespace {

namespace fs = std::filesystem;

class PackageDigestTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = fs::temp_directory_path() / ("tavoro-digest-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    path = (folder / "pkg.zip.tmp").string();
  }
  void TearDown() override { fs::remove_all(folder); }

  static std::string noise(std::size_t size) {
    std::string bytes(size, '\0');
    std::uint32_t seed = 7;
    for (char& c : bytes)
      c = static_cast<char>((seed = seed * 1103515245u + 12345u) >> 16);
    return bytes;
  }

  platform::host::LocalFiles files;
  fs::path folder;
  std::string path;
};

TEST_F(PackageDigestTest, FollowingABufferedWriterGivesTheFinishedFilesDigest) {
  const std::string bytes = noise(3 * 1024 * 1024 + 123);
  update::PackageDigestFollower follower(files, path);
  {
    // The host's writer buffers: a report may run ahead of the file.
    std::unique_ptr<platform::OutputFile> out = files.create(path);
    std::size_t written = 0;
    for (std::size_t block : {1u, 20480u, 70000u, 1u << 20}) {
      for (int i = 0; i < 3 && written < bytes.size(); ++i) {
        const std::size_t size = std::min(block, bytes.size() - written);
        ASSERT_TRUE(out->write(bytes.data() + written, size));
        written += size;
        follower.advance(static_cast<std::int64_t>(written));
        std::this_thread::yield();
      }
    }
    ASSERT_TRUE(out->write(bytes.data() + written, bytes.size() - written));
    ASSERT_TRUE(out->close());
  }
  const std::optional<update::PackageDigest> followed = follower.finish();
  ASSERT_TRUE(followed);
  EXPECT_EQ(*followed, update::digestOfFile(files, path));
  EXPECT_EQ(follower.finish(), followed) << "asked again, the same answer";
}

TEST_F(PackageDigestTest, AFileNeverFollowedOrNeverMade) {
  update::PackageDigestFollower missing(files, path);
  missing.advance(10);  // reported, but there is no such file
  EXPECT_FALSE(missing.finish());

  std::ofstream(path, std::ios::binary) << "whole";
  update::PackageDigestFollower unfollowed(files, path);
  EXPECT_EQ(unfollowed.finish(), update::digestOfFile(files, path));
  // Dropped mid-way, it stops without waiting for more.
  update::PackageDigestFollower dropped(files, path);
  dropped.advance(1 << 30);
}

TEST(PackageSignatureText, Base64OfExactlyTheRightSize) {
  update::PublicKey key{};
  key[0] = 0xfb;
  const std::string text = update::toBase64(key);
  EXPECT_EQ(update::parsePublicKey(text), key);
  EXPECT_EQ(update::parsePublicKey(" " + text.substr(0, 20) + "\r\n" + text.substr(20) + "\n"), key)
      << "blanks and line breaks are ignored";
  EXPECT_FALSE(update::parsePublicKey(text.substr(0, text.size() - 4)));
  EXPECT_FALSE(update::parsePublicKey(text + "AAAA"));
  EXPECT_FALSE(update::parsePublicKey(text + "#"));
  EXPECT_FALSE(update::parseSignature(text)) << "a key is no signature";
  EXPECT_EQ(update::checkSignatureText(text, ""), update::PackageVerdict::kNoSignature);
  EXPECT_EQ(update::checkSignatureText(text, text), update::PackageVerdict::kMalformedSignature);
  EXPECT_EQ(update::checkSignatureText("", text), update::PackageVerdict::kNoKey);
}

}  // namespace
