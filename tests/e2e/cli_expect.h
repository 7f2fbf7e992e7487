// Expected console bytes of the command-line tests.
#pragma once

#include <string>

namespace cli {

inline const std::string kBannerEnglish =
    "tolmek version 1.0.0\n"
    "Sampling rate converter for PCM WAV and AIFF files\n"
    "This program comes with no warranty.\n";

// The Japanese banner as code page 932 bytes.
inline const std::string kBannerShiftJis =
    "tolmek version 1.0.0\n"
    "Sampling rate converter for PCM WAV and AIFF files\n"
    "\x96\x7B\x83\x76\x83\x8D\x83\x4F\x83\x89\x83\x80\x82\xCD\x96\xB3\x95\xDB\x8F\xD8\x82\xC5\x82\xB7\x81\x42\n";

inline const std::string kBannerUtf8 =
    "tolmek version 1.0.0\n"
    "Sampling rate converter for PCM WAV and AIFF files\n"
    "本プログラムは無保証です。\n";

inline const std::string kUsageEnglish =
    "<< Format >>\n"
    " tolmek [-in=]srcfile [-out=dstfile] [-scmd=param]\n"
    "\n"
    "  [-in=]srcfile        : input file name\n"
    "  [-out=dstfile]       : output file name\n"
    "\n"
    "<< Subcommand >>\n"
    " -help=scmd            : help information display\n"
    " -freq=num             : output sampling frequency\n"
    " -ch={1|2}             : number of output channels\n"
    " -bit=num              : number of quantization bits\n"
    " -smpl=num             : number of samples to be output\n"
    " -vol=num              : output volume (dB)\n"
    " -mode={quality|speed} : conversion mode\n"
    " -sub=subfile          : subcommand file name\n"
    " -prio=string          : process priority\n"
    " -dither={tpdf|off}    : dither before rounding\n"
    " -meta={keep|drop}     : metadata kept in the output\n";

inline const std::string kUsageShiftJis =
    "\x81y\x8F\x91\x8E\xAE\x81z\n"
    " tolmek [-in=]srcfile [-out=dstfile] [-scmd=param]\n"
    "\n"
    "  [-in=]srcfile        : \x93\xFC\x97\xCD\x83t\x83@\x83"
    "C\x83\x8B\x96\xBC\n"
    "  [-out=dstfile]       : \x8Fo\x97\xCD\x83t\x83@\x83"
    "C\x83\x8B\x96\xBC\n"
    "\n"
    "\x81y\x83T\x83u\x83R\x83}\x83\x93\x83h\x81z\n"
    " -help=scmd            : \x83w\x83\x8B\x83v\x82\xCC\x95\x5C\x8E\xA6\n"
    " -freq=num             : \x8Fo\x97\xCD\x83T\x83\x93\x83v\x83\x8A\x83\x93\x83O\x8E\xFC\x94g\x90\x94\x82\xCC\x8Ew\x92\xE8\n"
    " -ch={1|2}             : \x8Fo\x97\xCD\x83`\x83\x83\x83\x93\x83l\x83\x8B\x90\x94\x82\xCC\x8Ew\x92\xE8\n"
    " -bit=num              : \x8Fo\x97\xCD\x97\xCA\x8Eq\x89\xBB\x83r\x83"
    "b\x83g\x90\x94\x82\xCC\x8Ew\x92\xE8\n"
    " -smpl=num             : \x8Fo\x97\xCD\x83T\x83\x93\x83v\x83\x8B\x90\x94\x8Ew\x92\xE8\n"
    " -vol=num              : \x8Fo\x97\xCD\x83{\x83\x8A\x83\x85\x81[\x83\x80\x8Ew\x92\xE8\n"
    " -mode={quality|speed} : \x95\xCF\x8A\xB7\x83\x82\x81[\x83h\x8Ew\x92\xE8\n"
    " -sub=subfile          : \x83T\x83u\x83R\x83}\x83\x93\x83h\x83t\x83@\x83"
    "C\x83\x8B\x8Ew\x92\xE8\n"
    " -prio=string          : \x83v\x83\x8D\x83Z\x83X\x82\xCC\x97"
    "D\x90\xE6\x93x\x90\xDD\x92\xE8\n"
    " -dither={tpdf|off}    : \x8A\xDB\x82\xDF\x82\xCC\x91O\x82\xCC\x83"
    "f\x83"
    "B\x83U\x8Ew\x92\xE8\n"
    " -meta={keep|drop}     : \x83\x81\x83\x5E\x83\x66\x81\x5B\x83\x5E\x82\xCC\x88\xF8\x82\xAB\x8C\x70\x82\xAC\x8E\x77\x92\xE8\n";

inline const std::string kHelpFreqEnglish =
    "Subcommand : freq\n"
    "[Format]   -freq=num\n"
    "[Input]    num : output sampling frequency\n"
    "[Function] Specifies the sampling frequency of an output file.\n"
    "[Range]    10 to 192000 (Hz)\n";

inline const std::string kHelpChEnglish =
    "Subcommand : ch \n"
    "[Format]   -ch={1|2}\n"
    "[Input]    number of output channels\n"
    "[Function] Specifies the number of channels for an output file.\n"
    "[Range]    1 or 2 (ch)\n"
    "[Note]     This command is not available if input file has 3 or more channels.\n";

inline const std::string kHelpModeEnglish =
    "Subcommand : mode\n"
    "[Format]   -mode={quality|speed}\n"
    "[Input]    conversion mode\n"
    "             QUALITY : quality gets priority over the speed.\n"
    "             SPEED   : speed gets priority over the quality.\n"
    "[Function] Specifies the mode for a sampling frequency conversion.\n"
    "[Range]    Select one of the above. Default is QUALITY.\n";

inline const std::string kHelpVolUtf8 =
    "サブコマンド：vol\n"
    "【書式】-vol=num\n"
    "【入力】num    　 ：出力ボリューム\n"
    "【機能】出力ボリュームを指定する。\n"
    "【範囲】-999 ～ 999 (dB) または normalize\n";

// "Error e114 : " and the Japanese message for an invalid sampling frequency.
inline const std::string kInvalidFrequencyShiftJis =
    "Error e114 : "
    "\x83T\x83\x93\x83v\x83\x8A\x83\x93\x83O\x8E\xFC\x94g\x90\x94\x82\xCC\x8Ew\x92\xE8\x82\xAA\x90\xB3\x82\xB5\x82\xAD\x82\xA0\x82\xE8\x82\xDC\x82\xB9\x82\xF1\n";

// The file-name block of a run.
inline std::string FilesBlock(const std::string& input, const std::string& output) {
    return "<< Files >>\n input  : " + input + "\n output : " + output + "\n\n";
}

}  // namespace cli
