// The output checks on Windows: each Win32 error has its code, and the
// drive letter of the output decides the drive checks.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "app/prepare.h"
#include "app/status.h"
#include "console_capture.h"

using namespace tolmek;

TEST(PrepareSystemErrors, EachWin32ErrorHasItsCode)
{
    ConsoleCapture console;
    for (int e : {ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND, ERROR_ACCESS_DENIED, ERROR_BAD_PATHNAME}) {
        EXPECT_EQ(MapSystemError(e), kErrInvalidFileName) << e;
    }
    EXPECT_EQ(MapSystemError(ERROR_INVALID_HANDLE), kErrInvalidHandle);
    EXPECT_EQ(MapSystemError(ERROR_INVALID_DRIVE), kErrNoDisc);
    EXPECT_EQ(MapSystemError(ERROR_WRITE_PROTECT), kErrWriteProtected);
    EXPECT_EQ(MapSystemError(ERROR_NOT_READY), kErrDriveNotReady);
    EXPECT_EQ(MapSystemError(ERROR_SHARING_VIOLATION), kErrFileInUse);
    EXPECT_EQ(console.err, "");
    EXPECT_EQ(console.out, "");
}

TEST(PrepareSystemErrors, AnyOtherWin32ErrorIsUnknownAndNamedOnStandardError)
{
    ConsoleCapture console;
    EXPECT_EQ(MapSystemError(ERROR_INVALID_PARAMETER), kErrUnknownSystem);
    EXPECT_EQ(console.err, "System error code: " + std::to_string(ERROR_INVALID_PARAMETER) + "\n");
}

TEST(PrepareOutputDrive, DriveLettersDecide)
{
    if (GetDriveTypeA("Q:\\") != DRIVE_NO_ROOT_DIR) GTEST_SKIP() << "Q: is mapped on this system";
    EXPECT_EQ(CheckOutputDrive("Q:\\out.wav"), kErrInvalidDrive);
    EXPECT_EQ(CheckOutputDrive("q:out.wav"), kErrInvalidDrive);
    if (GetDriveTypeA("R:\\") == DRIVE_CDROM) {
        EXPECT_EQ(CheckOutputDrive("R:\\out.wav"), kErrCdromOutput);
    }
    // No drive letter: the current directory's drive, which holds the tests.
    EXPECT_EQ(CheckOutputDrive("out.wav"), kStatusOk);
}
