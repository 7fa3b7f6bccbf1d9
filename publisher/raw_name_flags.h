#pragma once

// Keeps the UTF-8 flag (general purpose bit 11) off every name of a
// finished package. libzip 1.7 sets it on any name that happens to be valid
// UTF-8 and refuses ZIP_FL_ENC_CP437 for such a name, and many code page 936
// names are valid UTF-8 by chance ("说" is CB B5): a launcher would read
// those as UTF-8 and could not unpack them.

#include <string>

namespace publisher {

// Clears the flag where the launcher's own reader finds it, in the central
// directory record (found through the ZIP64 end records where libzip wrote
// them) and in the local header it points to (past 4 GiB too), then checks
// with that reader again. Throws Refusal when the archive cannot be mended:
// its records are not what libzip writes.
void keepNamesRaw(const std::string& archivePath);

}  // namespace publisher
