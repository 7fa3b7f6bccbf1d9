// Fetches one address into one file with the launcher's download engine,
// the way the update download runs it (the same reports, and with a key
// the same hashing as the bytes arrive and the same check at the end), and
// waits for the end. Exit code 0 when the whole announced body arrived and,
// with a key, it is the release that was signed.
//
//   download_bench <address> <local file> [--ca FILE]
//                  [--key KEY --size N --digest D --signature SIG]
//                  [--pauses MS,MS,...]   (the pauses before asking again)
//   download_bench sign <file>     prints a new public key, then the size,
//                                  digest and signature of the file as
//                                  release 5.1 of bench.exe in pkg.zip

#include <condition_variable>
#include <cstdio>
#include <mutex>

#include "app/host/host_platform.h"
#include "update/download.h"
#include "update/download/download_object.h"
#include "update/package/package_digest_follower.h"
#include "update/package/release_signature.h"
#include "update/update_state.h"

namespace {

// Stands in for the window: hears that the download ended.
class EndWaiter final : public ui::Notices {
 public:
  void postNotice(std::string_view, int kind, int) override {
    if (kind != 1)
      return;
    std::lock_guard<std::mutex> lock(mutex_);
    ended_ = true;
    changed_.notify_all();
  }
  void wait() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return ended_; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool ended_ = false;
};

constexpr char kVersion[] = "5.1";
constexpr char kLauncher[] = "bench.exe";
// The page the benchmark's release is signed for; no page is read.
constexpr char kPage[] = "http://bench.invalid/version.html";

int sign(platform::Files& files, const char* path) {
  update::PublicKey publicKey{};
  update::SecretKey secretKey{};
  crypto_sign_keypair(publicKey.data(), secretKey.data());
  const std::optional<update::PackageDigest> digest = update::digestOfFile(files, path);
  if (!digest)
    return 2;
  const update::Release release{
      kPage, kVersion, kLauncher, "pkg.zip", static_cast<std::uint64_t>(files.size(path)), *digest};
  std::printf(
      "%s %llu %s %s\n", update::toBase64(publicKey).c_str(),
      static_cast<unsigned long long>(release.packageSize),
      update::toBase64(release.packageDigest).c_str(),
      update::toBase64(update::signRelease(release, update::kLauncherReleaseForm, secretKey))
          .c_str());
  return 0;
}

struct Options {
  std::string caFile;
  std::string publicKey;
  std::string size;
  std::string digest;
  std::string signature;
  std::string pauses;  // "ms,ms,...": the pauses before asking again after a break
};

bool parseOptions(int argc, char** argv, Options& options) {
  for (int i = 3; i + 1 < argc; i += 2) {
    const std::string name = argv[i];
    std::string* value = name == "--ca"          ? &options.caFile
                         : name == "--key"       ? &options.publicKey
                         : name == "--size"      ? &options.size
                         : name == "--digest"    ? &options.digest
                         : name == "--signature" ? &options.signature
                         : name == "--pauses"    ? &options.pauses
                                                 : nullptr;
    if (value == nullptr)
      return false;
    *value = argv[i + 1];
  }
  return argc >= 3 && argc % 2 == 1 && options.publicKey.empty() == options.signature.empty();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "sign") {
    app::host::HostPlatform os;
    return sign(os.files, argv[2]);
  }
  Options options;
  if (!parseOptions(argc, argv, options)) {
    std::fprintf(stderr,
                 "usage: %s <http[s]://address> <local file> [--ca FILE] [--key KEY --size N "
                 "--digest D --signature SIG] [--pauses MS,MS,...]\n",
                 argv[0]);
    return 2;
  }
  app::host::HostPlatform os{options.caFile};
  const bool signedPackage = !options.publicKey.empty();

  update::DownloadTaskParameters parameters;
  parameters.modeWord = update::kModeDownload;
  parameters.sourceAddress = argv[1];
  parameters.localFilePath = argv[2];
  if (!options.pauses.empty()) {
    parameters.retryPausesMs.clear();
    for (std::size_t at = 0; at != std::string::npos;) {
      const std::size_t comma = options.pauses.find(',', at);
      parameters.retryPausesMs.push_back(std::stoi(options.pauses.substr(at, comma - at)));
      at = comma == std::string::npos ? comma : comma + 1;
    }
  }

  auto progress = std::make_shared<update::DownloadProgress>();
  std::shared_ptr<update::PackageDigestFollower> digest;
  if (signedPackage)
    digest = std::make_shared<update::PackageDigestFollower>(os.files, argv[2]);
  EndWaiter window;
  update::DownloadObject object(os.sockets, os.tls, os.files);
  if (!object.startTask(parameters,
                        std::make_shared<update::DownloadNotices>(window, progress, digest))) {
    std::fprintf(stderr, "the engine refused the task\n");
    return 2;
  }
  window.wait();
  object.stopTask();
  const bool complete = progress->percent == 100;
  std::printf("%d%% of %lld bytes\n", static_cast<int>(progress->percent),
              static_cast<long long>(progress->totalSize));
  if (!signedPackage)
    return complete ? 0 : 1;
  update::VersionFields fields;
  fields[update::kLatestVersion] = kVersion;
  fields[update::kProgramTitle] = kLauncher;
  fields[update::kUpdateAddress] = argv[1];
  fields[update::kPackageSize] = options.size;
  fields[update::kPackageDigest] = options.digest;
  fields[update::signatureField(update::kLauncherReleaseForm)] = options.signature;
  const update::PackageVerdict verdict =
      update::checkArrivedPackage(update::ReleaseTrust{options.publicKey, kPage}, fields,
                                  os.files.size(argv[2]), digest->finish());
  std::printf("signature %s\n", verdict == update::PackageVerdict::kSigned ? "good" : "refused");
  return complete && verdict == update::PackageVerdict::kSigned ? 0 : 1;
}
