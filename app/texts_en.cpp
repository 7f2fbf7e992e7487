#include "app/console_text.h"

namespace tolmek {

// English console texts.
const TextSet kEnglishTexts = {
    .banner =
        "tolmek version 1.0.0\n"
        "Sampling rate converter for PCM WAV and AIFF files\n"
        "This program comes with no warranty.",
    .usage =
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
        " -meta={keep|drop}     : metadata kept in the output\n",
    .help_pages =
        {
            // 0
            "Subcommand : help\n"
            "[Format]   -help[=subcommand]\n"
            "[Input]    subcommand : subcommand name\n"
            "[Function] Displays help information for the specified subcommand.\n",
            // 1
            "Subcommand : in\n"
            "[Format]   -in=filename\n"
            "[Input]    filename : input file name\n"
            "[Function] Specifies an input file name.\n",
            // 2
            "Subcommand : out\n"
            "[Format]   -out=filename\n"
            "[Input]    filename : output file name\n"
            "[Function] Specifies an output file name.\n",
            // 3
            "Subcommand : freq\n"
            "[Format]   -freq=num\n"
            "[Input]    num : output sampling frequency\n"
            "[Function] Specifies the sampling frequency of an output file.\n"
            "[Range]    10 to 192000 (Hz)\n",
            // 4
            "Subcommand : ch \n"
            "[Format]   -ch={1|2}\n"
            "[Input]    number of output channels\n"
            "[Function] Specifies the number of channels for an output file.\n"
            "[Range]    1 or 2 (ch)\n"
            "[Note]     This command is not available if input file has 3 or more channels.\n",
            // 5
            "Subcommand : bit\n"
            "[Format]   -bit={num|float}\n"
            "[Input]    number of quantization bits\n"
            "             FLOAT : 32-bit IEEE float, full scale +-1.0 (no clipping).\n"
            "[Function] Specifies the number of quantization bits for an output file.\n"
            "[Range]    1 to 32 (bit), float. Default is the input's (float for float input).\n",
            // 6
            "Subcommand : smpl\n"
            "[Format]   -smpl=num\n"
            "[Input]    num : number of samples to be output\n"
            "[Function] Specifies the number of samples to be output.\n"
            "[Range]    0 or more\n"
            "[Note]     File size must be less than 2GB.\n",
            // 7
            "Subcommand : vol\n"
            "[Format]   -vol=num\n"
            "[Input]    num : output volume (dB)\n"
            "[Function] Specifies output volume.\n"
            "[Range]    -999 to 999 (dB), normalize\n",
            // 8
            "Subcommand : mode\n"
            "[Format]   -mode={quality|speed}\n"
            "[Input]    conversion mode\n"
            "             QUALITY : quality gets priority over the speed.\n"
            "             SPEED   : speed gets priority over the quality.\n"
            "[Function] Specifies the mode for a sampling frequency conversion.\n"
            "[Range]    Select one of the above. Default is QUALITY.\n",
            // 9
            "Subcommand : sub\n"
            "[Format]   -sub=subfile\n"
            "[Input]    subfile : subcommand file name\n"
            "[Function] Specifies a subcommand file name.\n",
            // 10
            "Subcommand : prio\n"
            "[Format]   -prio=string\n"
            "[Input]    string : priority level\n"
            "             REALTIME    : realtime priority.\n"
            "             HIGH        : high priority.\n"
            "             ABOVENORMAL : above normal priority.\n"
            "             NORMAL      : normal priority.\n"
            "             BELOWNORMAL : below normal priority.\n"
            "             LOW         : low priority.\n"
            "[Function] Specifies the process priority level for tolmek.exe.\n"
            "[Range]    Select one of the above. Default is NORMAL.\n",
            // 11
            "Subcommand : dither\n"
            "[Format]   -dither={tpdf|off}\n"
            "[Input]    dither of the output\n"
            "             TPDF : triangular noise of +-1 LSB of the output, added\n"
            "                    before the rounding.\n"
            "             OFF  : no dither: values are only rounded.\n"
            "[Function] Specifies the dither of integer outputs of fewer than 32 bits.\n"
            "           TPDF keeps quiet passages free of distortion that follows\n"
            "           the signal, at the cost of a little more noise.\n"
            "[Range]    Select one of the above. Default is OFF.\n",
            // 12
            "Subcommand : meta\n"
            "[Format]   -meta={keep|drop}\n"
            "[Input]    metadata of the input\n"
            "             KEEP : the broadcast extension ('bext') with its time reference,\n"
            "                    iXML, text tags and marker labels travel to the output,\n"
            "                    moved to its sampling frequency.\n"
            "             DROP : only markers and loops travel.\n"
            "[Function] Specifies which metadata of the input file the output file keeps.\n"
            "[Range]    Select one of the above. Default is DROP.\n",
        },
    .file_names = "<< Files >>\n input  : %s\n output : %s\n\n",
    .progress_header = "<< Progress >>\n",
    .report_header = "<< Parameters >>\n file format                : ",
    .report_input_format = "%s -> ",
    .report_output_format = "%s\n",
    .report_values =
        " sampling frequency         : %d(Hz) -> %d(Hz)\n"
        " number of channels         : %d(ch) -> %d(ch)\n"
        " number of quantization bit : %d(bit%s) -> %d(bit%s)\n"
        " number of samples          : %d -> %d\n",
    .report_volume = " volume control             : %s(dB)\n",
    .mode_quality = " conversion mode            : QUALITY\n\n",
    .mode_speed = " conversion mode            : SPEED\n\n",
    .mode_custom = " conversion mode            : CUSTOM (%d)\n\n",
    .report_meta = " metadata                   : KEEP (%s)\n\n",
    .meta_kinds = {"bext", "iXML", "text tags", "marker labels"},
    .meta_separator = ", ",
    .meta_none = "none",
    .meta_warnings =
        {
            " Warning : The 'bext' chunk is shorter than 602 bytes; it was filled with zeros.\n",
            " Warning : The 'bext' chunk is too short to keep; it was dropped.\n",
            " Warning : The iXML chunk is not well-formed; it was dropped.\n",
            " Warning : A text tag or label without its terminator was repaired.\n",
            " Warning : Metadata past 1 MiB a chunk or 16 MiB in all was dropped.\n",
            " Warning : AIFF has no place for 'bext' and iXML; they were dropped.\n",
        },
    .same_warning = " Warning : The parameters of both files are same.\n\n",
    .clip_warning = " Warning : %lld samples were clipped.\n",
    .error_fallback = "The unknown error code was returned.",
    .subcommand_hint = " Did you mean %s?\n",
};

}  // namespace tolmek
