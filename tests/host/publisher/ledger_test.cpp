#include <sodium.h>

#include "publisher/file_problems.h"
#include "publisher/refusal.h"
#include "publisher/release_ledger.h"
#include "publisher/settings_stamp.h"
#include "publisher/version_advice.h"
#include "tests/host/publisher/publisher_fixture.h"
#include "update/package/release_signature.h"
#include "update/version_page.h"

namespace {

using namespace testing_support;
using publisher::LauncherOrder;
using publisher::LedgerRecord;

const auto kAny = [](const std::string&) { return true; };

TEST(VersionAdvice, NextNumbersThenOnePartMoreOnlyWhatIsAccepted) {
  const struct {
    std::string latest;
    std::function<bool(const std::string&)> accepted;
    std::vector<std::string> suggested;
  } rows[] = {
      {"5.9", kAny, {"5.10", "6.0", "5.9.1"}},
      {"9.9", kAny, {"9.10", "10.0", "9.9.1"}},
      {"0.99", kAny, {"0.100", "1.0", "0.99.1"}},
      {"5.09", kAny, {"5.10", "6.0", "5.09.1"}},
      {"09.9", kAny, {"09.10", "10.0", "09.9.1"}},
      {"5", kAny, {"6.0", "5.1"}},
      {"5.0.9", kAny, {"5.0.10", "6.0", "5.0.9.1"}},
      {"99999999999999999999.9",
       kAny,
       {"99999999999999999999.10", "100000000000000000000.0", "99999999999999999999.9.1"}},
      {"beta", kAny, {"beta.1"}},
      {"5.9 ", kAny, {"5.9 .1"}},
      // The launcher holds 31 bytes: longer ones are never named.
      {"1." + std::string(29, '9'), kAny, {"2.0"}},
      {"1." + std::string(28, '9'), kAny, {"1.1" + std::string(28, '0'), "2.0"}},
      {"5.9",
       [](const std::string& v) { return update::sortsAfterAsText(v, "5.9"); },
       {"6.0", "5.9.1"}},
      {"9.9", [](const std::string& v) { return update::sortsAfterAsText(v, "9.9"); }, {"9.9.1"}},
      {"9.9", [](const std::string&) { return false; }, {}},
  };
  for (const auto& row : rows)
    EXPECT_EQ(publisher::suggestedVersions(row.latest, row.accepted), row.suggested) << row.latest;
  EXPECT_EQ(publisher::listOfVersions({}), "");
  EXPECT_EQ(publisher::listOfVersions({"6.0"}), "6.0");
  EXPECT_EQ(publisher::listOfVersions({"5.10", "6.0"}), "5.10 or 6.0");
  EXPECT_EQ(publisher::listOfVersions({"5.10", "6.0", "5.9.1"}), "5.10, 6.0 or 5.9.1");
  EXPECT_EQ(publisher::listOfVersions({"a", "b", "c", "d"}, "/", "|"), "a/b/c|d");
}

LedgerRecord record(const std::string& version, LauncherOrder order = LauncherOrder::kNumbers,
                    const std::string& digest = "") {
  return {version,
          "http://game.example/v.html",
          "http://game.example/update-" + version + ".zip",
          digest.empty() ? "digest-of-" + version : digest,
          "Launcher.exe",
          "KEY",
          "D:\\keys\\studio.key",
          order,
          order == LauncherOrder::kNone ? "" : "launcher-1/Launcher.exe"};
}

TEST(ReleaseLedger, WrittenTextReadsBackAndDamageIsNamed) {
  std::vector<LedgerRecord> records = {record("5.8", LauncherOrder::kText),
                                       record("5.9", LauncherOrder::kNone), record("5.10")};
  records[2].version = "a\tb\nc";  // separators never get in
  const std::vector<LedgerRecord> back = publisher::parseLedger(publisher::ledgerText(records));
  ASSERT_EQ(back.size(), 3u);
  EXPECT_EQ(back[0].order, LauncherOrder::kText);
  EXPECT_EQ(back[1].order, LauncherOrder::kNone);
  EXPECT_EQ(back[1].launcherCopy, "");
  EXPECT_EQ(back[2].version, "a b c");
  EXPECT_EQ(back[0].keyFile, "D:\\keys\\studio.key");
  EXPECT_EQ(back[0].packageAddress, "http://game.example/update-5.8.zip");
  EXPECT_EQ(back[0].pageAddress, "http://game.example/v.html");
  EXPECT_EQ(back[0].packageDigest, "digest-of-5.8");
  EXPECT_EQ(back[0].launcherName, "Launcher.exe");
  EXPECT_EQ(back[0].publicKey, "KEY");
  // Saved again by an editor with CR LF: the same.
  std::string crlf;
  for (const char c : publisher::ledgerText(records))
    crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  const std::vector<LedgerRecord> fromCrlf = publisher::parseLedger(crlf);
  ASSERT_EQ(fromCrlf.size(), 3u);
  for (std::size_t i = 0; i < 3; ++i)
    EXPECT_EQ(fromCrlf[i].launcherCopy, back[i].launcherCopy) << "no CR kept in the last field";
  EXPECT_TRUE(publisher::parseLedger("").empty());

  const struct {
    std::string text;
    std::string says;
  } damaged[] = {
      {"# a note\n\n1\t2\t3\n", "line 3 of the release ledger is no record"},
      {"1\t2\t3\t4\t5\t6\t7\tnumbers\t9\t10\n", "line 1 "},
      {"1\t2\t3\t4\t5\t6\t7\twords\t9\n", "line 1 "},
  };
  for (const auto& d : damaged) {
    try {
      publisher::parseLedger(d.text);
      ADD_FAILURE() << d.says;
    } catch (const publisher::Refusal& refusal) {
      EXPECT_NE(std::string(refusal.what()).find(d.says), std::string::npos) << refusal.what();
    }
  }
}

TEST(ReleaseLedger, RefusesAVersionPlayersWouldNotBeOfferedAndAReusedAddress) {
  const std::vector<LedgerRecord> numbers = {record("5.8"), record("5.9")};
  const std::vector<LedgerRecord> text = {record("5.8"), record("5.9", LauncherOrder::kText)};
  // Players keep the launcher of 5.9, which compares by number; the last
  // packed release has none of its own.
  const std::vector<LedgerRecord> noneLast = {record("5.9"), record("6.0", LauncherOrder::kNone)};
  const std::vector<LedgerRecord> none;
  const struct {
    const char* name;
    const std::vector<LedgerRecord>& records;
    std::string version;
    const LedgerRecord* after;  // the record it does not sort after; null: taken
  } rows[] = {
      {"ten after nine", numbers, "5.10", nullptr},
      {"ten after nine, as text", text, "5.10", &text[1]},
      {"same version", numbers, "5.9", &numbers[1]},
      {"same number", numbers, "5.09", &numbers[1]},
      {"older", numbers, "5.8.1", &numbers[1]},
      {"after the launcher, not the last packed", noneLast, "5.9.1", &noneLast[1]},
      {"after both", noneLast, "6.1", nullptr},
      {"first release", none, "1.0", nullptr},
  };
  for (const auto& row : rows)
    EXPECT_EQ(publisher::versionProblem(row.records, row.version), row.after) << row.name;

  LedgerRecord hotFix = record("5.10");
  hotFix.packageAddress = numbers[1].packageAddress;
  EXPECT_EQ(publisher::addressProblem(numbers, hotFix), &numbers[1]);
  hotFix.packageDigest = numbers[1].packageDigest;  // the very same package: no harm
  EXPECT_EQ(publisher::addressProblem(numbers, hotFix), nullptr);
  EXPECT_EQ(publisher::addressProblem(numbers, record("5.10")), nullptr);
  // The launcher shipped with the game has no package address to collide with.
  std::vector<LedgerRecord> shipped = {record("5.0")};
  shipped[0].packageAddress = "";
  LedgerRecord first = record("5.1");
  first.packageAddress = "";
  EXPECT_EQ(publisher::addressProblem(shipped, first), nullptr);
}

TEST(ReleaseLedger, EarlierKindLaunchersThatWouldBeSkippedAreNamed) {
  const std::vector<LedgerRecord> records = {record("9.8", LauncherOrder::kText),
                                             record("9.9", LauncherOrder::kText), record("9.9.1"),
                                             record("9.9.2", LauncherOrder::kNone)};
  EXPECT_EQ(publisher::strandedVersions(records, "10.0"), (std::vector<std::string>{"9.8", "9.9"}));
  EXPECT_EQ(publisher::strandedVersions(records, "9.9.3"), std::vector<std::string>{});
  EXPECT_EQ(publisher::strandedVersions(records, "9.9"), std::vector<std::string>{"9.9"});
  EXPECT_EQ(publisher::latestLauncher(records), &records[2]);
  // Before a release: the latest launcher recorded before it; for a
  // version not recorded, the latest.
  EXPECT_EQ(publisher::launcherBefore(records, "9.9.2"), &records[2]);
  EXPECT_EQ(publisher::launcherBefore(records, "9.9.1"), &records[1]);
  EXPECT_EQ(publisher::launcherBefore(records, "9.8"), nullptr);
  EXPECT_EQ(publisher::launcherBefore(records, "10.0"), &records[2]);
  std::vector<LedgerRecord> shipped = {record("5.0"), record("5.1")};
  shipped[0].packageAddress = "";
  EXPECT_TRUE(publisher::isShippedLauncher(shipped[0]));
  EXPECT_EQ(publisher::launcherBefore(shipped, "5.1"), &shipped[0]);
  EXPECT_EQ(publisher::launcherBefore(shipped, "5.0"), &shipped[1])
      << "the shipped one is no release";
  EXPECT_EQ(publisher::latestLauncher({record("1.0", LauncherOrder::kNone)}), nullptr);
  EXPECT_TRUE(publisher::orderOffers(LauncherOrder::kNone, "5.10", "5.9"));
  EXPECT_FALSE(publisher::orderOffers(LauncherOrder::kText, "5.10", "5.9"));
}

TEST_F(PublisherTest, TheDefaultLedgerFolderLiesBesideTheOutputFolder) {
  std::ostringstream sink;
  publisher::Tools tools = host_.tools(sink, sink);
  EXPECT_EQ(publisher::ledgerFolder(tools, std::nullopt, "/studio/upload"),
            "/studio/release-ledger");
  EXPECT_EQ(publisher::ledgerFolder(tools, std::nullopt, "/studio/upload//"),
            "/studio/release-ledger");
  EXPECT_EQ(publisher::ledgerFolder(tools, std::nullopt, "upload"), "./release-ledger");
  EXPECT_EQ(publisher::ledgerFolder(tools, std::string("D:/records"), "/studio/upload"),
            "D:/records");
  EXPECT_EQ(publisher::joinPath(tools, "/studio/", "launcher-1/L.exe"), "/studio/launcher-1/L.exe");
}

// A launcher signed by the backup key's secret is taken by a launcher that
// carries it; a release signed by neither key is not.
TEST(BackupKey, EitherKeyIsTaken) {
  update::PublicKey mainKey{}, backupKey{}, otherKey{};
  update::SecretKey mainSecret{}, backupSecret{}, otherSecret{};
  crypto_sign_keypair(mainKey.data(), mainSecret.data());
  crypto_sign_keypair(backupKey.data(), backupSecret.data());
  crypto_sign_keypair(otherKey.data(), otherSecret.data());
  const std::string page = "http://game.example/v.html";
  const update::Release release{page, "5.1", "L.exe", "u.zip", 10, {}};
  const auto fieldsSignedBy = [&](const update::SecretKey& secret) {
    update::VersionFields fields;
    fields[update::kLatestVersion] = "5.1";
    fields[update::kProgramTitle] = "L.exe";
    fields[update::kUpdateAddress] = "http://game.example/u.zip";
    fields[update::kPackageSize] = "10";
    fields[update::kPackageDigest] = update::toBase64(release.packageDigest);
    fields[update::kSignatureWithPage] =
        update::toBase64(update::signRelease(release, update::ReleaseForm::kWithPage, secret));
    return fields;
  };
  const std::string main64 = update::toBase64(mainKey);
  const std::string backup64 = update::toBase64(backupKey);
  const update::ReleaseTrust both{main64, page, update::ReleaseForm::kWithPage, backup64};
  const update::ReleaseTrust mainOnly{main64, page, update::ReleaseForm::kWithPage};
  EXPECT_EQ(update::checkAnnouncedRelease(both, fieldsSignedBy(mainSecret)),
            update::PackageVerdict::kSigned);
  EXPECT_EQ(update::checkAnnouncedRelease(both, fieldsSignedBy(backupSecret)),
            update::PackageVerdict::kSigned);
  EXPECT_EQ(update::checkAnnouncedRelease(both, fieldsSignedBy(otherSecret)),
            update::PackageVerdict::kWrongSignature);
  EXPECT_EQ(update::checkAnnouncedRelease(mainOnly, fieldsSignedBy(backupSecret)),
            update::PackageVerdict::kWrongSignature);
  // The backup key does not lift the checks on the page's own fields.
  update::VersionFields cut = fieldsSignedBy(backupSecret);
  cut[update::kPackageSize] = "ten";
  EXPECT_EQ(update::checkAnnouncedRelease(both, cut), update::PackageVerdict::kMalformedSize);
  EXPECT_EQ(
      update::checkArrivedPackage(both, fieldsSignedBy(backupSecret), 10, release.packageDigest),
      update::PackageVerdict::kSigned);
  EXPECT_EQ(
      update::checkArrivedPackage(both, fieldsSignedBy(backupSecret), 11, release.packageDigest),
      update::PackageVerdict::kOtherSize);
}

// A studio's year, in the ordinary way: each release packed from a copy of
// the launcher players have, which the ledger keeps.
class LedgerPackTest : public PublisherTest {
 protected:
  void SetUp() override {
    PublisherTest::SetUp();
    publicKey = keygen("studio.key");
    writeBytes(path("built.exe"), standInLauncher(1, kPage, "", "5.0"));
    ASSERT_EQ(run({"stamp", "--in", path("built.exe"), "--out", path("shipped.exe"), "--page",
                   kPage, "--public-key", publicKey, "--version", "5.7"}),
              0)
        << err();
    writeBytes(dir() / "game" / "Launcher.exe", readBytes(path("shipped.exe")));
    writeBytes(dir() / "game" / "data.txt", "level one");
  }

  // Packs `version` at update-<version>.zip into upload/<version>.
  int pack(const std::string& version, const std::string& secret = "studio.key",
           const std::string& packageName = "") {
    return run({"pack", "--from", (dir() / "game").string(), "--launcher", "Launcher.exe",
                "--version", version, "--url",
                "http://game.example/" +
                    (packageName.empty() ? "update-" + version + ".zip" : packageName),
                "--secret", path(secret), "--out", path("upload/" + version)});
  }

  // What the next release starts from: the launcher players have now.
  void takeLedgersLauncher() {
    const std::vector<LedgerRecord> records =
        publisher::parseLedger(readBytes(dir() / "upload" / "release-ledger" / "releases.txt"));
    ASSERT_FALSE(records.empty());
    writeBytes(dir() / "game" / "Launcher.exe",
               readBytes(dir() / "upload" / "release-ledger" / records.back().launcherCopy));
  }

  publisher::LauncherSettings ledgerLauncher(std::size_t index) {
    const std::vector<LedgerRecord> records =
        publisher::parseLedger(readBytes(dir() / "upload" / "release-ledger" / "releases.txt"));
    const std::string bytes =
        readBytes(dir() / "upload" / "release-ledger" / records.at(index).launcherCopy);
    const base::Bytes program(bytes.begin(), bytes.end());
    return publisher::readSettings(program, publisher::findSettingsBlock(program));
  }

  const std::string kPage = "http://game.example/version.html";
  std::string publicKey;
};

TEST_F(LedgerPackTest, FiveReleasesInARowEachOfferedToThePreviousLauncher) {
  for (const char* version : {"5.8", "5.9", "5.10", "9.9", "10.0"}) {
    ASSERT_EQ(pack(version), 0) << version << ": " << err();
    EXPECT_EQ(err(), "") << version;
    EXPECT_NE(out().find("recorded in the release ledger " + path("upload/release-ledger")),
              std::string::npos)
        << out();
    // verify takes the ledger's latest launcher: the one just packed is
    // past it; the one before is offered it.
    takeLedgersLauncher();
  }
  const std::vector<LedgerRecord> records =
      publisher::parseLedger(readBytes(dir() / "upload" / "release-ledger" / "releases.txt"));
  // The launcher shipped with the game first, then one record a release.
  ASSERT_EQ(records.size(), 6u);
  EXPECT_EQ(records[0].version, "5.7");
  EXPECT_TRUE(publisher::isShippedLauncher(records[0]));
  EXPECT_EQ(records[0].keyFile, "");
  for (std::size_t i = 0; i < records.size(); ++i) {
    EXPECT_EQ(ledgerLauncher(i).localVersion, records[i].version);
    EXPECT_EQ(records[i].publicKey, publicKey);
    EXPECT_EQ(records[i].keyFile, i == 0 ? "" : path("studio.key"));
    EXPECT_EQ(records[i].order, LauncherOrder::kNumbers);
    EXPECT_EQ(records[i].launcherCopy, "launcher-" + std::to_string(i) + "/Launcher.exe");
  }
  EXPECT_EQ(records[5].packageAddress, "http://game.example/update-10.0.zip");
  EXPECT_EQ(records[5].pageAddress, kPage);

  // Checked against the launcher players have before it: the ledger's 9.9.
  ASSERT_EQ(run({"verify", "--page", path("upload/10.0/version.html"), "--package",
                 path("upload/10.0/update-10.0.zip"), "--ledger", path("upload/release-ledger")}),
            0)
      << err();
  EXPECT_NE(out().find("players have now the launcher of release 9.9 (" +
                       path("upload/release-ledger/launcher-4/Launcher.exe")),
            std::string::npos)
      << out();
  EXPECT_NE(out().find("(version 9.9) are offered: they get version 10.0 now"), std::string::npos)
      << out();
  // The first release, against the launcher shipped with the game.
  ASSERT_EQ(run({"verify", "--page", path("upload/5.8/version.html"), "--package",
                 path("upload/5.8/update-5.8.zip"), "--ledger", path("upload/release-ledger")}),
            0)
      << err();
  EXPECT_NE(out().find("players have now the launcher shipped with the game (version 5.7)"),
            std::string::npos)
      << out();
  // The launcher of the release itself is not offered it again.
  EXPECT_EQ(run({"verify", "--page", path("upload/10.0/version.html"), "--package",
                 path("upload/10.0/update-10.0.zip"), "--launcher",
                 path("upload/release-ledger/launcher-5/Launcher.exe")}),
            1);
  EXPECT_NE(err().find("which does not sort after the version"), std::string::npos) << err();
}

TEST_F(LedgerPackTest, RefusesWhatWouldStrandPlayersNamingTheFix) {
  ASSERT_EQ(pack("5.9"), 0) << err();
  takeLedgersLauncher();
  const std::string otherKey = keygen("colleague.key");
  const std::string ledger = readBytes(dir() / "upload" / "release-ledger" / "releases.txt");
  const struct {
    const char* name;
    std::function<int()> call;
    std::string says;
  } rows[] = {
      {"not after the last", [&] { return pack("5.09"); },
       "--version 5.09 does not sort after 5.9, the version of the launcher of release 5.9 ("},
      {"advice taken in turn", [&] { return pack("5.09"); },
       "Versions that would be: 5.10, 6.0 or 5.9.1"},
      {"a colleague's key", [&] { return pack("6.0", "colleague.key"); },
       "which carries the public key " + publicKey + " (release 5.9 was signed with " +
           path("studio.key") + "); --secret " + path("colleague.key") + " is the secret key of " +
           otherKey},
      {"the package address of 5.9 for a hot-fix",
       [&] { return pack("5.9.1", "studio.key", "update-5.9.zip"); },
       "was used by release 5.9: players who check between the two uploads"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(row.call(), 1) << row.name;
    EXPECT_NE(err().find(row.says), std::string::npos) << row.name << ": " << err();
    EXPECT_EQ(err().find("Stamp"), std::string::npos) << row.name << ": never re-stamp";
    EXPECT_EQ(readBytes(dir() / "upload" / "release-ledger" / "releases.txt"), ledger) << row.name;
  }
  EXPECT_FALSE(fs::exists(dir() / "upload" / "6.0" / "version.html"));

  // A package file of another release where this one would go.
  writeBytes(dir() / "upload" / "6.0" / "update-6.0.zip", "an older package");
  EXPECT_EQ(pack("6.0"), 1);
  EXPECT_NE(err().find("update-6.0.zip already holds another package"), std::string::npos) << err();
  EXPECT_EQ(readBytes(dir() / "upload" / "6.0" / "update-6.0.zip"), "an older package");
  fs::remove(dir() / "upload" / "6.0" / "update-6.0.zip");
  EXPECT_EQ(pack("6.0"), 0) << err();
}

TEST_F(LedgerPackTest, AReleaseSignedByTheBackupKeyIsTakenWhenTheLauncherCarriesIt) {
  const std::string backupKey = keygen("backup.key");
  ASSERT_EQ(
      run({"stamp", "--in", path("shipped.exe"), "--out",
           (dir() / "game" / "Launcher.exe").string(), "--page", kPage, "--backup-key", backupKey}),
      0)
      << err();
  EXPECT_NE(out().find("backup key: none -> " + backupKey), std::string::npos) << out();
  ASSERT_EQ(pack("5.8"), 0) << err();
  takeLedgersLauncher();
  EXPECT_EQ(ledgerLauncher(0).backupKey, backupKey);
  // The main key lost: the backup key signs, and the launcher takes it.
  ASSERT_EQ(pack("5.9", "backup.key"), 0) << err();
  EXPECT_EQ(run({"verify", "--page", path("upload/5.9/version.html"), "--package",
                 path("upload/5.9/update-5.9.zip"), "--launcher",
                 path("upload/release-ledger/launcher-1/Launcher.exe")}),
            0)
      << err();

  const struct {
    const char* name;
    std::vector<std::string> more;
    std::string says;
  } refused[] = {
      {"the same key twice",
       {"--public-key", publicKey, "--backup-key", publicKey},
       "the backup key is the public key itself"},
      {"no key", {"--backup-key", "not a key"}, "--backup-key not a key is no public key of this tool"},
      {"without a public key",
       {"--public-key", "", "--backup-key", backupKey},
       "a backup key needs a public key beside it"},
  };
  for (const auto& r : refused) {
    std::vector<std::string> words = {
        "stamp", "--in", path("shipped.exe"), "--out", path("refused.exe"), "--page", kPage};
    words.insert(words.end(), r.more.begin(), r.more.end());
    EXPECT_EQ(run(words), 1) << r.name;
    EXPECT_NE(err().find(r.says), std::string::npos) << r.name << ": " << err();
    EXPECT_FALSE(fs::exists(path("refused.exe"))) << r.name;
  }
  // A launcher of the earlier kind has no room for it.
  writeBytes(path("earlier.exe"),
             standInLauncher(1, kPage, publicKey, "5.0", TAVORO_SETTINGS_BLOCK_TAG_WITH_ONE_KEY));
  EXPECT_EQ(run({"stamp", "--in", path("earlier.exe"), "--out", path("refused.exe"), "--page",
                 kPage, "--backup-key", backupKey}),
            1);
  EXPECT_NE(err().find("cannot carry a backup key"), std::string::npos) << err();
}

// Players of a launcher of the earlier kind, which compares as text, are
// warned of; the advice names versions they would be offered.
TEST_F(LedgerPackTest, WarnsOfEarlierLaunchersThatWouldNotOfferTheVersion) {
  writeBytes(dir() / "game" / "Launcher.exe",
             standInLauncher(1, kPage, publicKey, "9.8", TAVORO_SETTINGS_BLOCK_TAG_WITH_ONE_KEY));
  ASSERT_EQ(pack("9.9"), 0) << err();
  EXPECT_EQ(err(), "");
  // The release's own launcher compares as text too: 10.0 would be refused.
  takeLedgersLauncher();
  EXPECT_EQ(pack("10.0"), 1);
  EXPECT_NE(err().find("Versions that would be: 9.9.1"), std::string::npos) << err();
  // A launcher of this release in the folder: taken, with a warning.
  writeBytes(dir() / "game" / "Launcher.exe", standInLauncher(1, kPage, publicKey, "9.9"));
  EXPECT_EQ(pack("9.9.1"), 0) << err();
  EXPECT_EQ(err(), "") << "offered to every launcher players may have";
  takeLedgersLauncher();
  EXPECT_EQ(pack("10.0"), 0) << err();
  EXPECT_NE(err().find("warning: players who still have a launcher of version 9.8 or 9.9, which "
                       "compares versions letter by letter, will not be offered 10.0; versions they "
                       "would be offered: 9.9.2 or 9.9.1.1"),
            std::string::npos)
      << err();
}

}  // namespace
