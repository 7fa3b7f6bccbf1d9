#pragma once

// What the harnesses share: a check that makes libFuzzer report the input
// when a promise of the code under test is broken, and a scratch folder for
// the harnesses that work on real files.

#include <fuzzer/FuzzedDataProvider.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace fuzz {

// Aborts, which libFuzzer reports together with the input, unless `holds`.
inline void require(bool holds, const char* promise) {
  if (!holds) {
    std::fprintf(stderr, "broken promise: %s\n", promise);
    std::abort();
  }
}

// A folder of this process below the temporary directory (TMPDIR), made once.
inline const std::filesystem::path& scratchFolder(const char* harness) {
  static const std::filesystem::path folder = [harness] {
    auto path = std::filesystem::temp_directory_path() /
                ("tavoro-fuzz-" + std::string(harness) + "-" + std::to_string(::getpid()));
    std::filesystem::create_directories(path);
    return path;
  }();
  return folder;
}

}  // namespace fuzz
