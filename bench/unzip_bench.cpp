// Unpacks one archive with the launcher's unpacker on the host, for
// bench/unzip_bench.sh to time against other unpackers.

#include <cstdio>

#include "app/host/host_platform.h"
#include "update/package/apply_package.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s ARCHIVE DESTINATION_DIR\n", argv[0]);
    return 64;
  }
  app::host::HostPlatform os;
  int last = -1;
  const update::ApplyOutcome outcome =
      update::applyPackageNow(os.files, os.namedEvents, os.codec, argv[1],
                              std::string(argv[2]) + "\\", [&](int percent) { last = percent; });
  // A run that stopped early would make the timing meaningless.
  return last == 100 && outcome.kind == update::ApplyOutcomeKind::kApplied ? 0 : 1;
}
