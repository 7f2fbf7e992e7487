// The output checks on Windows: each Win32 error has its code, and the
// drive letter of the output decides the drive checks.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "app/prepare.h"
#include "app/status.h"
#include "system_error_checks.h"

using namespace tolmek;

TEST(PrepareSystemErrors, EachWin32ErrorHasItsCode) {
    ExpectSystemErrorCodes({{ERROR_FILE_NOT_FOUND, kErrInvalidFileName},
                            {ERROR_PATH_NOT_FOUND, kErrInvalidFileName},
                            {ERROR_ACCESS_DENIED, kErrInvalidFileName},
                            {ERROR_BAD_PATHNAME, kErrInvalidFileName},
                            {ERROR_INVALID_HANDLE, kErrInvalidHandle},
                            {ERROR_INVALID_DRIVE, kErrNoDisc},
                            {ERROR_WRITE_PROTECT, kErrWriteProtected},
                            {ERROR_NOT_READY, kErrDriveNotReady},
                            {ERROR_SHARING_VIOLATION, kErrFileInUse}});
}

TEST(PrepareSystemErrors, AnyOtherWin32ErrorIsUnknownAndNamedOnStandardError) {
    ExpectUnknownSystemError(ERROR_INVALID_PARAMETER);
}

TEST(PrepareOutputDrive, DriveLettersDecide) {
    if (GetDriveTypeA("Q:\\") != DRIVE_NO_ROOT_DIR) GTEST_SKIP() << "Q: is mapped on this system";
    EXPECT_EQ(CheckOutputDrive("Q:\\out.wav"), kErrInvalidDrive);
    EXPECT_EQ(CheckOutputDrive("q:out.wav"), kErrInvalidDrive);
    if (GetDriveTypeA("R:\\") == DRIVE_CDROM) {
        EXPECT_EQ(CheckOutputDrive("R:\\out.wav"), kErrCdromOutput);
    }
    // No drive letter: the current directory's drive, which holds the tests.
    EXPECT_EQ(CheckOutputDrive("out.wav"), kStatusOk);
}
