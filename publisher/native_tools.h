#pragma once

// The secret files and the system facts of the system the tool is built
// for: each build defines them in its own folder (host/, win32/).

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "publisher/tools.h"

namespace publisher {

// New files that only their owner may read.
class OwnerOnlySecretFiles final : public SecretFiles {
 public:
  Outcome writeNew(const std::string& path, std::string_view content) override;
};

class NativeSystemFacts final : public SystemFacts {
 public:
  SystemError last() override;
  std::optional<std::uint64_t> freeBytes(const std::string& folder) override;
  std::string temporaryFolder() override;
  char pathSeparator() override;
  Language userLanguage() override;
};

}  // namespace publisher
