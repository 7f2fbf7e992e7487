// Which kind of system the tests run on, for the few tests of behaviour
// that only one kind has (locale variables, /dev devices, a POSIX shell).
#pragma once

namespace testsupport {

// True on POSIX; false on Windows, which chooses the console language by its
// language ids and code page and has no /dev devices or /bin/sh.
bool IsPosix();

}  // namespace testsupport
