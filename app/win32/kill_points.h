#pragma once

// The end-to-end tests' launcher only: a listener of the trace's "change"
// notes that ends the process as hard as a kill would (TerminateProcess,
// nothing cleaned up) right before its n-th change to a file name, n from
// the environment variable TAVORO_KILL_AT_CHANGE, and appends each change
// to the file TAVORO_CHANGE_LOG names ("<n> <operation> <path>\r\n"). Both
// variables are taken out of the environment, so that the launchers this
// one starts run undisturbed.

namespace app::win32 {

void armKillPoints();

}  // namespace app::win32
