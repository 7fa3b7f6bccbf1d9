// Prints the update settings it was built or stamped with, one a line, as
// the launcher reads them: the stamping test runs stamped copies of it.

#include <cstdio>

#include "app/update_settings.h"

int main() {
  std::printf("%s\n%s\n%s\n", app::versionPageUrl().c_str(), app::updatePublicKey().c_str(),
              app::localVersion().c_str());
  return 0;
}
