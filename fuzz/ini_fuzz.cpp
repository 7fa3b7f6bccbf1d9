// The Game configuration file as a player may have edited it, read through
// the launcher's one profile rule: a value is one line's, within the
// capacity, and cut at a zero byte.

#include <fstream>

#include "core/config.h"
#include "fuzz/harness.h"
#include "platform/host/host_services.h"
#include "platform/profile_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const std::string section = input.ConsumeRandomLengthString(32);
  const std::string key = input.ConsumeRandomLengthString(32);
  const std::string content = input.ConsumeRemainingBytesAsString();

  const std::string path = (fuzz::scratchFolder("ini") / "tavoroConfig.ini").string();
  std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
  platform::host::LocalFiles files;
  platform::host::IconvTextCodec codec;
  platform::FileProfileReader profile(files, codec);
  const std::string value = core::readProfileValue(profile, path, section, key);
  // A file saved as UTF-8 with a byte order mark is read as its 936 text.
  const std::string text =
      platform::profileText(base::Bytes(content.begin(), content.end()), codec);

  fuzz::require(value.size() < core::kConfigValueCapacity, "a value fits the capacity");
  fuzz::require(value.find_first_of(std::string("\r\n\0", 3)) == std::string::npos,
                "a value is one line, up to a zero byte");
  fuzz::require(text.find(value) != std::string::npos, "a value is text of the file");
  return 0;
}
