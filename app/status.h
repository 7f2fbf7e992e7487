// Status codes of the front end. Negative values are failures; each one
// that can reach the user has its texts in the error table
// (error_table.cpp), the only place where codes and messages are paired.
#pragma once

namespace tolmek {

enum Status : int {
    kStatusOk = 0,

    // Internal statuses, never printed.
    kStatusHelpShown = -8191,    // a usage or help page was printed
    kStatusInterrupted = -8190,  // the user interrupted the conversion

    // 0xe0xx internal
    kErrInternal = -8188,
    kErrMemory = -8187,
    // 0xe1xx command line
    kErrInvalidSubcommand = -7935,
    kErrInvalidParameter = -7934,
    kErrTooFewParameters = -7933,
    kErrTooManyParameters = -7932,
    kErrTooManyFileNames = -7931,
    kErrWrongOutputName = -7929,
    kErrWrongMode = -7919,
    kErrInvalidFrequency = -7916,
    kErrInvalidChannels = -7915,
    kErrInvalidBits = -7914,
    kErrInvalidVolume = -7913,
    kErrInvalidSamples = -7912,
    // 0xe15x initialization file
    kErrIniInputFile = -7854,
    kErrIniOutputFile = -7853,
    kErrIniSub = -7852,
    kErrIniHelp = -7851,
    // 0xe16x subcommand file
    kErrSubFileInUse = -7839,
    kErrSubFileInvalid = -7838,
    kErrSubFileDirectory = -7837,
    kErrSubFileSub = -7836,
    kErrSubFileHelp = -7835,
    // 0xe2xx input and output parameters
    kErrMultichannelChange = -7679,
    kErrUnsupportedChannels = -7678,
    kErrNoData = -7677,
    kErrNoSampleData = -7676,
    kErrOver2GB = -7674,
    // 0xd0xx argument syntax, 0xdfxx tokenizer internal
    kErrNoArgument = -12287,
    kErrNoSubcommand = -12286,
    kErrNoParameter = -12285,
    kErrBadSubcommand = -12284,
    kErrBadParameter = -12283,
    kErrTokenizer = -8447,
    // 0xc0xx opening, reading and writing files
    kErrOpenInput = -16383,
    kErrOpenOutput = -16382,
    kErrWriteOutput = -16381,
    kErrReadInput = -16380,
    // 0xf0f0 unexpected system error
    kErrUnknownSystem = -3856,
    // 0xb0xx file system and drives
    kErrInvalidFileName = -20463,
    kErrInvalidDrive = -20461,
    kErrInvalidHandle = -20460,
    kErrInvalidInputName = -20447,
    kErrInputIsDirectory = -20446,
    kErrOutputIsDirectory = -20430,
    kErrNoDisc = -20415,
    kErrDiskFull = -20414,
    kErrWriteProtected = -20413,
    kErrCdromOutput = -20412,
    kErrDriveNotReady = -20411,
    kErrFileInUse = -20394,
};

}  // namespace tolmek
