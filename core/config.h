#pragma once

// The Game configuration file beside the launcher: read afresh at every use,
// never written, never cached.

#include <cstddef>
#include <string>

#include "platform/process.h"
#include "platform/profile_reader.h"
#include "platform/services.h"

namespace core {

inline constexpr char kConfigRelativePath[] = "\\tavoro\\tavoroConfig.ini";
inline constexpr std::size_t kConfigValueCapacity = 10240;

// What reading the Game configuration file takes: the reader, and the
// process whose run directory holds the file.
struct ConfigFile {
  ConfigFile(platform::ProfileReader& profile, platform::Process& process)
      : profile(profile), process(process) {}
  // Not explicit: the program's root hands its services on as they are.
  ConfigFile(const platform::Services& os) : ConfigFile(*os.profile, *os.process) {}

  platform::ProfileReader& profile;
  platform::Process& process;
};

// The value of `key` in `section`; empty when the file, section or key is
// missing or when the path, section or key is blank.
std::string readConfigValue(const ConfigFile& config, const std::string& section,
                            const std::string& key);

// The same rule for any profile path; readConfigValue uses it on the Game
// configuration file.
std::string readProfileValue(platform::ProfileReader& profile, const std::string& path,
                             const std::string& section, const std::string& key);

}  // namespace core
