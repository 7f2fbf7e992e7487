// The output checks on POSIX: each errno has its code, and a read-only
// mount is write-disabled.
#include <gtest/gtest.h>

#include <cerrno>
#include <fstream>
#include <string>

#include "app/prepare.h"
#include "app/status.h"
#include "system_error_checks.h"

using namespace tolmek;

TEST(PrepareSystemErrors, EachErrnoHasItsCode) {
    ExpectSystemErrorCodes({{ENOENT, kErrInvalidFileName},
                            {ENOTDIR, kErrInvalidFileName},
                            {EACCES, kErrInvalidFileName},
                            {EPERM, kErrInvalidFileName},
                            {ENAMETOOLONG, kErrInvalidFileName},
                            {ELOOP, kErrInvalidFileName},
                            {EBADF, kErrInvalidHandle},
                            {ENODEV, kErrNoDisc},
                            {ENXIO, kErrNoDisc},
                            {ENOMEDIUM, kErrNoDisc},
                            {EROFS, kErrWriteProtected},
                            {EAGAIN, kErrDriveNotReady},
                            {ETXTBSY, kErrFileInUse},
                            {EBUSY, kErrFileInUse}});
}

TEST(PrepareSystemErrors, AnyOtherErrnoIsUnknownAndNamedOnStandardError) {
    ExpectUnknownSystemError(EIO);
}

TEST(PrepareOutputDrive, AReadOnlyFileSystemIsWriteDisabled) {
    // Any read-only mount of this machine (containers usually have some).
    std::ifstream mounts("/proc/mounts");
    std::string device, folder, type, options;
    std::string read_only;
    while (mounts >> device >> folder >> type >> options) {
        std::string rest;
        std::getline(mounts, rest);
        if ((options == "ro" || options.rfind("ro,", 0) == 0) && type != "iso9660" &&
            type != "udf") {
            read_only = folder;
            break;
        }
    }
    if (read_only.empty()) GTEST_SKIP() << "no read-only mount";
    EXPECT_EQ(CheckOutputDrive(read_only + "/out.wav"), kErrWriteProtected) << read_only;
}
