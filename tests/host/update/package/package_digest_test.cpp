// The package's digest taken while the download writes it must be the
// digest of the finished file, however the writes and reports interleave;
// and the one signature binds every part of a release.

#include <gtest/gtest.h>
#include <chrono>

#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/host/host_services.h"
#include "update/package/package_digest_follower.h"
#include "update/package/package_signature.h"
#include "update/package/release_signature.h"

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
  // Abandoned with an unfinished download: no digest, even of a whole file.
  update::PackageDigestFollower abandoned(files, path);
  abandoned.advance(5);
  abandoned.abandon();
  EXPECT_FALSE(abandoned.finish());
}

// A file written anew after a rewind: the digest is the new file's alone,
// and bytes kept from before (a continued file) are hashed from the disk.
TEST_F(PackageDigestTest, ARewoundFollowerHashesOnlyTheNewFile) {
  const std::string first = noise(600000);
  const std::string second = noise(400001).substr(1);
  update::PackageDigestFollower follower(files, path);
  {
    std::unique_ptr<platform::OutputFile> out = files.create(path);
    ASSERT_TRUE(out->write(first.data(), first.size()));
    ASSERT_TRUE(out->close());
  }
  follower.advance(static_cast<std::int64_t>(first.size()));
  // Let it hash the whole first file before it is replaced.
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  follower.rewind();
  {
    std::unique_ptr<platform::OutputFile> out = files.create(path);
    ASSERT_TRUE(out->write(second.data(), 1000));
    ASSERT_TRUE(out->close());
  }
  // Kept bytes: an append goes on after them.
  follower.advance(1000);
  {
    std::unique_ptr<platform::OutputFile> out = files.openForAppend(path);
    ASSERT_TRUE(out);
    ASSERT_TRUE(out->write(second.data() + 1000, second.size() - 1000));
    ASSERT_TRUE(out->close());
  }
  follower.advance(static_cast<std::int64_t>(second.size()));
  EXPECT_EQ(follower.finish(), update::digestOfFile(files, path));
  EXPECT_EQ(files.size(path), static_cast<std::int64_t>(second.size()));
  EXPECT_FALSE(files.openForAppend(path + ".none")) << "append never creates a file";
}

TEST(PackageSignatureText, Base64OfExactlyTheRightSize) {
  update::PublicKey key{};
  key[0] = 0xfb;
  const std::string text = update::toBase64(key);
  EXPECT_EQ(update::parsePublicKey(text), key);
  EXPECT_EQ(update::parsePublicKey(" " + text.substr(0, 20) + "\r\n" + text.substr(20) + "\n"), key)
      << "blanks and line breaks are ignored";
  EXPECT_EQ(update::parsePublicKey("\t" + text.substr(0, 8) + "\t\t" + text.substr(8) + "\r"), key)
      << "and so are tabs and a lone carriage return";
  EXPECT_FALSE(update::parsePublicKey(text.substr(0, 8) + "\v" + text.substr(8)));
  // The standard alphabet, with padding: not the URL-safe one.
  const unsigned char edge[] = {0xfb, 0xff};
  EXPECT_EQ(update::toBase64(edge, sizeof(edge)), "+/8=");
  EXPECT_FALSE(update::parsePublicKey(text.substr(0, text.size() - 4)));
  EXPECT_FALSE(update::parsePublicKey(text + "AAAA"));
  EXPECT_FALSE(update::parsePublicKey(text + "#"));
  EXPECT_FALSE(update::parseSignature(text)) << "a key is no signature";
  EXPECT_EQ(update::checkSignatureText(text, ""), update::PackageVerdict::kNoSignature);
  EXPECT_EQ(update::checkSignatureText(text, text), update::PackageVerdict::kMalformedSignature);
  EXPECT_EQ(update::checkSignatureText("", text), update::PackageVerdict::kNoKey);
}

TEST_F(PackageDigestTest, DigestIsBlake2b512) {
  std::ofstream(path, std::ios::binary) << "abc";
  const std::optional<update::PackageDigest> digest = update::digestOfFile(files, path);
  ASSERT_TRUE(digest);
  // The published test vector for "abc".
  EXPECT_EQ(
      update::toBase64(*digest),
      "uoClP5gcTQ1qJ5e2nxL26UwhLxRoWsS3SxK7b9v/otF9h8U5Kqt5LcJS1d5FM8yVGNOKqNvxklq5I4bt1ACZIw==");
}

// A release as a page announces it, with its signature, for one key.
struct SignedPage {
  SignedPage() {
    crypto_sign_keypair(publicKey.data(), secretKey.data());
    release.packageDigest.fill(0x01);
    fields[update::kLatestVersion] = release.version;
    fields[update::kProgramTitle] = release.launcherName;
    fields[update::kUpdateAddress] = "https://example.com/dl/" + release.packageName;
    fields[update::kPackageSize] = std::to_string(release.packageSize);
    fields[update::kPackageDigest] = update::toBase64(release.packageDigest);
    release.entryList = {4000, 200, {}};
    release.entryList.digest.fill(0x02);
    fields[update::kEntryList] = update::entryListPlaceText(release.entryList);
    for (const auto form : {update::ReleaseForm::kWithoutPage, update::ReleaseForm::kWithPage,
                            update::ReleaseForm::kWithEntries})
      fields[update::signatureField(form)] =
          update::toBase64(update::signRelease(release, form, secretKey));
  }
  std::string key() const { return update::toBase64(publicKey); }
  // The key's text lives as long as the page.
  update::ReleaseTrust trust() {
    keyText = key();
    return {keyText, release.pageAddress};
  }

  update::Release release{
      "https://example.com/游戏/version.html", "5.1", "启动器.exe", "update-5.1.zip", 1234, {}};
  update::VersionFields fields;
  update::PublicKey publicKey{};
  update::SecretKey secretKey{};
  std::string keyText;
};

TEST(ReleaseSignature, CanonicalFormHasEveryFieldWithItsLength) {
  SignedPage page;
  std::string digestOfOnes;  // 64 bytes of 0x01 in base64
  for (int i = 0; i < 21; ++i)
    digestOfOnes += "AQEB";
  digestOfOnes += "AQ==";
  const std::string afterPage =
      "version 3:5.1\n"
      "launcher 10:启动器.exe\n"
      "package 14:update-5.1.zip\n"
      "size 1234\n"
      "digest " +
      digestOfOnes + "\n";
  using update::ReleaseForm;
  EXPECT_EQ(update::canonicalRelease(page.release, ReleaseForm::kWithoutPage),
            "tavoro-release/1\n" + afterPage);
  EXPECT_EQ(update::canonicalRelease(page.release, ReleaseForm::kWithPage),
            "tavoro-release/2\npage 37:https://example.com/游戏/version.html\n" + afterPage);
  std::string digestOfTwos;
  for (int i = 0; i < 21; ++i)
    digestOfTwos += "AgIC";
  digestOfTwos += "Ag==";
  EXPECT_EQ(update::canonicalRelease(page.release, ReleaseForm::kWithEntries),
            "tavoro-release/3\npage 37:https://example.com/游戏/version.html\n" + afterPage +
                "entries 4000 200 " + digestOfTwos + "\n");
  EXPECT_EQ(page.fields[update::kEntryList], "4000 200 " + digestOfTwos);
  EXPECT_EQ(update::signatureField(ReleaseForm::kWithEntries), update::kSignatureWithEntries);
  EXPECT_EQ(update::signatureField(ReleaseForm::kWithoutPage), update::kPackageSignature);
  EXPECT_EQ(update::signatureField(ReleaseForm::kWithPage), update::kSignatureWithPage);
  // A line break inside a text cannot pass for the next field.
  update::Release shifted = page.release;
  shifted.version = "5.1\nlauncher 10:启动器.exe";
  shifted.launcherName = "";
  EXPECT_NE(update::canonicalRelease(shifted, ReleaseForm::kWithoutPage),
            update::canonicalRelease(page.release, ReleaseForm::kWithoutPage));
  update::Release pageShifted = page.release;
  pageShifted.pageAddress += "\nversion 3:5.1";
  pageShifted.version = "";
  EXPECT_NE(update::canonicalRelease(pageShifted, ReleaseForm::kWithPage),
            update::canonicalRelease(page.release, ReleaseForm::kWithPage));
}

TEST(ReleaseSignature, EachFieldChangedAloneIsRefused) {
  SignedPage page;
  ASSERT_EQ(update::checkAnnouncedRelease(page.trust(), page.fields),
            update::PackageVerdict::kSigned);
  update::PublicKey otherPublic{};
  update::SecretKey otherSecret{};
  crypto_sign_keypair(otherPublic.data(), otherSecret.data());
  using update::PackageVerdict;
  const struct {
    const char* what;
    update::VersionField field;
    std::string value;
    PackageVerdict verdict;
  } rows[] = {
      {"a higher version", update::kLatestVersion, "9.9", PackageVerdict::kWrongSignature},
      {"a version with a blank", update::kLatestVersion, "5.1 ", PackageVerdict::kWrongSignature},
      {"a game file as launcher", update::kProgramTitle, "Bin\\Game.exe",
       PackageVerdict::kWrongSignature},
      {"launcher in another letter case", update::kProgramTitle, "启动器.EXE",
       PackageVerdict::kWrongSignature},
      {"a game file as package", update::kUpdateAddress, "https://example.com/dl/GameAssembly.dll",
       PackageVerdict::kWrongSignature},
      {"another server, same name", update::kUpdateAddress,
       "http://mirror.example.net/update-5.1.zip", PackageVerdict::kSigned},
      {"another size", update::kPackageSize, "1235", PackageVerdict::kWrongSignature},
      {"the size with a leading zero", update::kPackageSize, "01234", PackageVerdict::kSigned},
      {"another digest", update::kPackageDigest, update::toBase64(update::PackageDigest{}),
       PackageVerdict::kWrongSignature},
      {"another key's signature", update::kSignatureWithPage,
       update::toBase64(
           update::signRelease(page.release, update::kLauncherReleaseForm, otherSecret)),
       PackageVerdict::kWrongSignature},
      {"no size", update::kPackageSize, "", PackageVerdict::kMalformedSize},
      {"a size with a blank", update::kPackageSize, " 1234", PackageVerdict::kMalformedSize},
      {"a signed size", update::kPackageSize, "+1234", PackageVerdict::kMalformedSize},
      {"a size of 20 digits", update::kPackageSize, "00000000000000001234",
       PackageVerdict::kMalformedSize},
      {"a digest cut short", update::kPackageDigest, page.fields[update::kPackageDigest].substr(4),
       PackageVerdict::kMalformedDigest},
      {"no signature", update::kSignatureWithPage, "", PackageVerdict::kNoSignature},
      {"the earlier form's signature only", update::kSignatureWithPage,
       page.fields[update::kPackageSignature], PackageVerdict::kWrongSignature},
      {"no signature of the earlier form", update::kPackageSignature, "", PackageVerdict::kSigned},
  };
  for (const auto& row : rows) {
    update::VersionFields fields = page.fields;
    fields[row.field] = row.value;
    EXPECT_EQ(update::checkAnnouncedRelease(page.trust(), fields), row.verdict) << row.what;
  }
  const std::string otherKey = update::toBase64(otherPublic);
  EXPECT_EQ(update::checkAnnouncedRelease({otherKey, page.release.pageAddress}, page.fields),
            PackageVerdict::kWrongSignature);
  // The page it is read at is signed in full: another game's page, the
  // same page over another scheme or with a query, in another letter case.
  for (const char* page_ :
       {"https://example.com/other-game/version.html", "http://example.com/游戏/version.html",
        "https://example.com/游戏/version.html?", "https://EXAMPLE.com/游戏/version.html", ""}) {
    EXPECT_EQ(update::checkAnnouncedRelease({page.key(), page_}, page.fields),
              PackageVerdict::kWrongSignature)
        << page_;
    // A launcher of the earlier form never looks at the page.
    EXPECT_EQ(update::checkAnnouncedRelease({page.key(), page_, update::ReleaseForm::kWithoutPage},
                                            page.fields),
              PackageVerdict::kSigned)
        << page_;
  }
  EXPECT_EQ(update::parsePackageSize("9999999999999999999"), 9999999999999999999u);
  EXPECT_EQ(update::parsePackageSize("0"), 0u);
}

TEST(ReleaseSignature, TheThirdFormBindsTheEntryListToo) {
  SignedPage page;
  const std::string key = page.key();
  const update::ReleaseTrust withEntries{key, page.release.pageAddress,
                                         update::ReleaseForm::kWithEntries};
  using update::PackageVerdict;
  const struct {
    const char* what;
    std::string value;
    PackageVerdict entries;  // the third form's verdict
  } rows[] = {
      {"as signed", page.fields[update::kEntryList], PackageVerdict::kSigned},
      {"another offset", "4001 200 " + page.fields[update::kEntryList].substr(9),
       PackageVerdict::kWrongSignature},
      {"another length", "4000 201 " + page.fields[update::kEntryList].substr(9),
       PackageVerdict::kWrongSignature},
      {"another digest", "4000 200 " + update::toBase64(update::PackageDigest{}),
       PackageVerdict::kWrongSignature},
      {"none", "", PackageVerdict::kMalformedEntryList},
      {"no digest", "4000 200", PackageVerdict::kMalformedEntryList},
  };
  for (const auto& row : rows) {
    update::VersionFields fields = page.fields;
    fields[update::kEntryList] = row.value;
    EXPECT_EQ(update::checkAnnouncedRelease(withEntries, fields), row.entries) << row.what;
    // The earlier forms never look at the list: their launchers fetch the
    // whole package as before.
    EXPECT_EQ(update::checkAnnouncedRelease(page.trust(), fields), PackageVerdict::kSigned)
        << row.what;
  }
  update::VersionFields withoutThird = page.fields;
  withoutThird[update::kSignatureWithEntries].clear();
  EXPECT_EQ(update::checkAnnouncedRelease(withEntries, withoutThird), PackageVerdict::kNoSignature);
  withoutThird[update::kSignatureWithEntries] = page.fields[update::kSignatureWithPage];
  EXPECT_EQ(update::checkAnnouncedRelease(withEntries, withoutThird),
            PackageVerdict::kWrongSignature);
}

TEST(ReleaseSignature, ThePackageThatArrivedMustBeTheSignedOne) {
  SignedPage page;
  const update::ReleaseTrust key = page.trust();
  const update::PackageDigest digest = page.release.packageDigest;
  update::PackageDigest other = digest;
  other[63] ^= 1;
  using update::PackageVerdict;
  EXPECT_EQ(update::checkArrivedPackage(key, page.fields, 1234, digest), PackageVerdict::kSigned);
  EXPECT_EQ(update::checkArrivedPackage(key, page.fields, 1233, digest),
            PackageVerdict::kOtherSize);
  EXPECT_EQ(update::checkArrivedPackage(key, page.fields, 1234, other),
            PackageVerdict::kOtherDigest);
  EXPECT_EQ(update::checkArrivedPackage(key, page.fields, -1, std::nullopt),
            PackageVerdict::kUnreadable);
  update::VersionFields relabelled = page.fields;
  relabelled[update::kLatestVersion] = "9.9";
  EXPECT_EQ(update::checkArrivedPackage(key, relabelled, 1234, digest),
            PackageVerdict::kWrongSignature);
}

}  // namespace
