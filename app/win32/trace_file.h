#pragma once

// The end-to-end tests' launcher only: appends every note of the trace, of
// any topic, to the file the environment variable TAVORO_TRACE names, one
// "<topic>: <text>\r\n" line each. The variable is taken out of the
// environment, so that the launchers this one starts write nothing there.

namespace app::win32 {

void startTraceFile();

}  // namespace app::win32
