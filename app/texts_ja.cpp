#include "app/console_text.h"

namespace tolmek {

// Japanese console texts, stored as UTF-8; written as Shift_JIS or UTF-8
// depending on the locale.
const TextSet kJapaneseTexts = {
    .banner =
        "tolmek version 1.0.0\n"
        "Sampling rate converter for PCM WAV and AIFF files\n"
        "本プログラムは無保証です。",
    .usage =
        "【書式】\n"
        " tolmek [-in=]srcfile [-out=dstfile] [-scmd=param]\n"
        "\n"
        "  [-in=]srcfile        : 入力ファイル名\n"
        "  [-out=dstfile]       : 出力ファイル名\n"
        "\n"
        "【サブコマンド】\n"
        " -help=scmd            : ヘルプの表示\n"
        " -freq=num             : 出力サンプリング周波数の指定\n"
        " -ch={1|2}             : 出力チャンネル数の指定\n"
        " -bit=num              : 出力量子化ビット数の指定\n"
        " -smpl=num             : 出力サンプル数指定\n"
        " -vol=num              : 出力ボリューム指定\n"
        " -mode={quality|speed} : 変換モード指定\n"
        " -sub=subfile          : サブコマンドファイル指定\n"
        " -prio=string          : プロセスの優先度設定\n"
        " -dither={tpdf|off}    : 丸めの前のディザ指定\n"
        " -meta={keep|drop}     : メタデータの引き継ぎ指定\n",
    .help_pages =
        {
            // 0
            "サブコマンド：help\n"
            "【書式】-help[=subcommand]\n"
            "【入力】subcommand：サブコマンド名\n"
            "【機能】指定したサブコマンドのヘルプを表示する\n",
            // 1
            "サブコマンド：in\n"
            "【書式】-in=filename\n"
            "【入力】filename　：入力ファイル名\n"
            "【機能】入力ファイル名を指定する\n",
            // 2
            "サブコマンド：out\n"
            "【書式】-out=filename\n"
            "【入力】filename　：出力ファイル名\n"
            "【機能】出力ファイル名を指定する。\n",
            // 3
            "サブコマンド：freq\n"
            "【書式】-freq=num\n"
            "【入力】num　　　 ：出力サンプリング周波数\n"
            "【機能】出力ファイルのサンプリング周波数を指定する。\n"
            "【範囲】10 ～ 192000 (Hz)\n",
            // 4
            "サブコマンド：ch\n"
            "【書式】-ch={1|2}\n"
            "【入力】出力チャンネル数\n"
            "【機能】出力ファイルのチャンネル数を指定する。\n"
            "【範囲】1 or 2 (ch)\n"
            "【注意】入力ファイルが3チャンネル以上の場合、本コマンドは指定できません。\n",
            // 5
            "サブコマンド：bit\n"
            "【書式】-bit={num|float}\n"
            "【入力】出力量子化ビット数\n"
            "        FLOAT : 32 bit IEEE float (+-1.0)\n"
            "【機能】出力ファイルの量子化ビット数を指定する。\n"
            "【範囲】1 ～ 32 (bit) または float\n",
            // 6
            "サブコマンド：smpl\n"
            "【書式】-smpl=num\n"
            "【入力】num　　　 ：出力サンプル数\n"
            "【機能】出力するサンプルの数を指定する。\n"
            "【範囲】0以上\n"
            "【注意】出力できるファイルの上限サイズは2GBまでです。\n",
            // 7
            "サブコマンド：vol\n"
            "【書式】-vol=num\n"
            "【入力】num    　 ：出力ボリューム\n"
            "【機能】出力ボリュームを指定する。\n"
            "【範囲】-999 ～ 999 (dB) または normalize\n",
            // 8
            "サブコマンド：mode\n"
            "【書式】-mode={quality|speed}\n"
            "【入力】変換モード\n"
            "        QUALITY：音質優先\n"
            "        SPEED  ：速度優先\n"
            "【機能】サンプリング周波数の変換モードを指定する。\n"
            "【範囲】2種類のモードから選択する。デフォルト設定はQUALITY。\n",
            // 9
            "サブコマンド：sub\n"
            "【書式】-sub=subfile\n"
            "【入力】subfile　 ：サブコマンドファイル名\n"
            "【機能】サブコマンドファイルを指定する。\n",
            // 10
            "サブコマンド：prio\n"
            "【書式】-prio=string\n"
            "【入力】string　　：プロセスの優先度\n"
            "        REALTIME    : リアルタイム\n"
            "        HIGH        : 高\n"
            "        ABOVENORMAL : 通常以上\n"
            "        NORMAL      : 通常\n"
            "        BELOWNORMAL : 通常以下\n"
            "        LOW         : 低\n"
            "【機能】プロセスの優先度を指定する。\n"
            "【範囲】上記のいずれかを指定する。デフォルト設定はNORMAL。\n",
            // 11
            "サブコマンド：dither\n"
            "【書式】-dither={tpdf|off}\n"
            "【入力】出力のディザ\n"
            "        TPDF : 丸めの前に三角分布のノイズ (+-1 LSB) を加える\n"
            "        OFF  : ディザなし (丸めのみ)\n"
            "【機能】32 bit 未満の整数出力のディザを指定する。\n"
            "【範囲】上記のいずれかを指定する。デフォルト設定はOFF。\n",
            // 12
            "サブコマンド：meta\n"
            "【書式】-meta={keep|drop}\n"
            "【入力】入力ファイルのメタデータ\n"
            "        KEEP : bext (タイムリファレンス)、iXML、テキストタグ、マーカー名を\n"
            "               出力のサンプリング周波数に合わせて引き継ぐ\n"
            "        DROP : マーカーとループのみを引き継ぐ\n"
            "【機能】出力ファイルに引き継ぐ入力ファイルのメタデータを指定する。\n"
            "【範囲】上記のいずれかを指定する。デフォルト設定はDROP。\n",
        },
    .file_names = "【入出力ファイル】\n　入力ファイル : %s\n　出力ファイル : %s\n\n",
    .progress_header = "【進捗状況】\n",
    .report_header = "【変換パラメータ】\n　ファイル形式　　　：",
    .report_input_format = "%s → ",
    .report_output_format = "%s\n",
    .report_values =
        "　サンプリング周波数：%d(Hz) → %d(Hz)\n"
        "　チャンネル数　　　：%d(ch) → %d(ch)\n"
        "　量子化ビット数　　：%d(bit%s) → %d(bit%s)\n"
        "　総サンプル数　　　：%d → %d\n",
    .report_volume = "　ボリューム変更　　：%s(dB)\n",
    .mode_quality = "　変換方式　　　　　：音質優先\n\n",
    .mode_speed = "　変換方式　　　　　：速度優先\n\n",
    .mode_custom = "　変換方式　　　　　：カスタム（%d）\n\n",
    .report_meta = "　メタデータ　　　　：保持（%s）\n\n",
    .meta_kinds = {"bext", "iXML", "テキストタグ", "マーカー名"},
    .meta_separator = "、",
    .meta_none = "なし",
    .meta_warnings =
        {
            "　Warning : 'bext' チャンクが 602 バイトより短いため、0 で補いました\n",
            "　Warning : 'bext' チャンクが短すぎるため、破棄しました\n",
            "　Warning : iXML チャンクが整形式ではないため、破棄しました\n",
            "　Warning : 終端のないテキストタグまたはラベルを修復しました\n",
            "　Warning : 1 チャンク 1 MiB または合計 16 MiB を超えるメタデータを破棄しました\n",
            "　Warning : AIFF には bext と iXML を格納できないため、破棄しました\n",
        },
    .same_warning = "　Warning : 入出力ファイルのパラメータが同じです\n\n",
    .clip_warning = "　Warning : %lld 個のサンプルがクリップされました\n",
    .error_fallback = "対応するエラーコードが見つかりません",
    .subcommand_hint = " もしかして %s ですか？\n",
};

}  // namespace tolmek
