#pragma once

// Hashes the download's file while the engine is still writing it, on a
// thread of its own, so that checking the signature at the end costs little
// more than the download itself. The engine's thread only says how far the
// file has grown; it never waits for the hashing.

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "platform/files.h"
#include "update/package/package_signature.h"

namespace update {

class PackageDigestFollower {
 public:
  PackageDigestFollower(platform::Files& files, std::string path);
  // Stops the hashing thread without waiting for the rest of the file.
  ~PackageDigestFollower();
  PackageDigestFollower(const PackageDigestFollower&) = delete;
  PackageDigestFollower& operator=(const PackageDigestFollower&) = delete;

  // Any thread: the file now holds at least `size` bytes.
  void advance(std::int64_t size);
  // The writer's thread, before it writes the file anew from its start:
  // what was hashed is forgotten.
  void rewind();
  // Once the writer is done: hashes what is left up to the end of the file
  // and returns the digest of all of it; empty when the file could not be
  // read. Also right for a file that was never followed. Later calls give
  // the same answer.
  std::optional<PackageDigest> finish();
  // The download ended unfinished: stops hashing and closes the file, which
  // Windows would not let anyone remove while it is open. A finish() after
  // it gives nothing.
  void abandon();

 private:
  void follow();
  void stopThread();
  // Reads and hashes up to `limit` bytes (all of the file when negative);
  // false on a read error.
  bool hashUpTo(std::int64_t limit);

  platform::Files& files_;
  const std::string path_;
  PackageHasher hasher_;
  std::unique_ptr<platform::InputFile> file_;
  std::int64_t hashed_ = 0;  // the hashing thread's until it is joined
  bool failed_ = false;
  bool finished_ = false;
  std::optional<PackageDigest> digest_;

  std::mutex mutex_;
  std::condition_variable changed_;
  std::int64_t available_ = 0;
  bool stopping_ = false;
  std::thread thread_;
};

}  // namespace update
