#include "update/package/package_digest_follower.h"

#include <algorithm>
#include <chrono>
#include <vector>

namespace update {
namespace {

constexpr std::size_t kReadBlock = 256 * 1024;
// A writer may keep the newest bytes in its own buffer a little longer
// than it says: look again after this long even without news.
constexpr auto kRecheck = std::chrono::milliseconds(20);

}  // namespace

PackageDigestFollower::PackageDigestFollower(platform::Files& files, std::string path)
    : files_(files), path_(std::move(path)), thread_([this] { follow(); }) {}

PackageDigestFollower::~PackageDigestFollower() {
  stopThread();
}

void PackageDigestFollower::stopThread() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  if (thread_.joinable())
    thread_.join();
}

void PackageDigestFollower::rewind() {
  stopThread();
  hasher_ = PackageHasher();
  file_.reset();
  hashed_ = 0;
  failed_ = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    available_ = 0;
    stopping_ = false;
  }
  thread_ = std::thread([this] { follow(); });
}

void PackageDigestFollower::advance(std::int64_t size) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (size <= available_)
      return;
    available_ = size;
  }
  changed_.notify_one();
}

void PackageDigestFollower::follow() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (!stopping_ && !failed_) {
    if (hashed_ >= available_) {
      changed_.wait(lock, [this] { return stopping_ || hashed_ < available_; });
      continue;
    }
    const std::int64_t target = available_;
    lock.unlock();
    const std::int64_t before = hashed_;
    failed_ = !hashUpTo(target);
    const bool stalled = hashed_ == before;
    lock.lock();
    if (stalled && !failed_)
      changed_.wait_for(lock, kRecheck, [this] { return stopping_; });
  }
}

bool PackageDigestFollower::hashUpTo(std::int64_t limit) {
  if (!file_) {
    file_ = files_.openForReading(path_);
    if (!file_)
      return limit >= 0;  // not created yet: the next look may find it
  }
  std::vector<unsigned char> block(kReadBlock);
  while (limit < 0 || hashed_ < limit) {
    const std::size_t want = limit < 0
                                 ? block.size()
                                 : static_cast<std::size_t>(std::min<std::int64_t>(
                                       static_cast<std::int64_t>(block.size()), limit - hashed_));
    const long got = file_->read(block.data(), want);
    if (got < 0)
      return false;
    if (got == 0)
      break;  // the writer has not handed these bytes to the system yet
    hasher_.add(block.data(), static_cast<std::size_t>(got));
    hashed_ += got;
  }
  return true;
}

std::optional<PackageDigest> PackageDigestFollower::finish() {
  if (finished_)
    return digest_;
  finished_ = true;
  stopThread();
  const bool complete = !failed_ && hashUpTo(-1) && file_ != nullptr;
  file_.reset();  // the package is moved and deleted next
  if (complete)
    digest_ = hasher_.finish();
  return digest_;
}

void PackageDigestFollower::abandon() {
  finished_ = true;
  stopThread();
  file_.reset();
}

}  // namespace update
