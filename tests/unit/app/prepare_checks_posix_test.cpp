// The output checks on POSIX: each errno has its code, and a read-only
// mount is write-disabled.
#include <gtest/gtest.h>

#include <cerrno>
#include <fstream>
#include <string>

#include "app/prepare.h"
#include "app/status.h"
#include "console_capture.h"

using namespace tolmek;

TEST(PrepareSystemErrors, EachErrnoHasItsCode)
{
    ConsoleCapture console;
    for (int e : {ENOENT, ENOTDIR, EACCES, EPERM, ENAMETOOLONG, ELOOP}) EXPECT_EQ(MapSystemError(e), kErrInvalidFileName) << e;
    EXPECT_EQ(MapSystemError(EBADF), kErrInvalidHandle);
    for (int e : {ENODEV, ENXIO, ENOMEDIUM}) EXPECT_EQ(MapSystemError(e), kErrNoDisc) << e;
    EXPECT_EQ(MapSystemError(EROFS), kErrWriteProtected);
    EXPECT_EQ(MapSystemError(EAGAIN), kErrDriveNotReady);
    EXPECT_EQ(MapSystemError(ETXTBSY), kErrFileInUse);
    EXPECT_EQ(MapSystemError(EBUSY), kErrFileInUse);
    EXPECT_EQ(console.err, "");
    EXPECT_EQ(console.out, "");
}

TEST(PrepareSystemErrors, AnyOtherErrnoIsUnknownAndNamedOnStandardError)
{
    ConsoleCapture console;
    EXPECT_EQ(MapSystemError(EIO), kErrUnknownSystem);
    EXPECT_EQ(console.err, "System error code: " + std::to_string(EIO) + "\n");
    EXPECT_EQ(console.out, "");
}

TEST(PrepareOutputDrive, AReadOnlyFileSystemIsWriteDisabled)
{
    // Any read-only mount of this machine (containers usually have some).
    std::ifstream mounts("/proc/mounts");
    std::string device, folder, type, options;
    std::string read_only;
    while (mounts >> device >> folder >> type >> options) {
        std::string rest;
        std::getline(mounts, rest);
        if ((options == "ro" || options.rfind("ro,", 0) == 0) && type != "iso9660" && type != "udf") {
            read_only = folder;
            break;
        }
    }
    if (read_only.empty()) GTEST_SKIP() << "no read-only mount";
    EXPECT_EQ(CheckOutputDrive(read_only + "/out.wav"), kErrWriteProtected) << read_only;
}
