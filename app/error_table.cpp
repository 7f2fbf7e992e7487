#include "app/error_table.h"

#include <cstdint>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "app/console_text.h"
#include "runtime/nuverr.h"

namespace tolmek {

// Every negative status that reaches the user, with its English and
// Japanese message, in table order. The printed code is the low 16 bits.
const ErrorEntry kErrorTable[] = {
    {-8188, "Internal error occurred.", "内部エラー"},
    {-8187, "Failed to memory allocation.", "メモリが足りません"},
    {-7935, "Invalid subcommand.", "不正なサブコマンドが指定されています"},
    {-7934, "Invalid subcommand parameter.", "不正なサブコマンドパラメータが指定されています"},
    {-7933, "Too few command line parameters.", "入出力ファイルの指定が不足しています"},
    {-7932, "Too many command line parameters.", "余計なコマンドライン引数が指定されています"},
    {-7931, "Too many file names.", "余計なファイル名が指定されています"},
    {-7929, "Wrong output file name.", "入力ファイルと出力ファイルが同じです"},
    {-7919, "Wrong conversion mode.", "変換モードの指定が正しくありません"},
    {-7916, "Invalid sampling frequency.", "サンプリング周波数の指定が正しくありません"},
    {-7915, "Invalid channel number.", "チャンネル数の指定が正しくありません"},
    {-7914, "Invalid quantization number.", "量子化ビット数の指定が正しくありません"},
    {-7913, "Invalid volume.", "ボリュームの指定が正しくありません"},
    {-7912, "Invalid sample number.", "サンプル数の指定が正しくありません"},
    {-20447, "Invalid input file name.", "入力ファイルが存在しません"},
    {-7854, "Input file specified within initialization file.",
     "初期化ファイル内で入力ファイルが指定されています"},
    {-7853, "Output file specified within initialization file.",
     "初期化ファイル内で出力ファイルが指定されています"},
    {-7852, "-sub command found within initialization file.",
     "初期化ファイル内で-subコマンドが指定されています"},
    {-7851, "-help command found within initialization file.",
     "初期化ファイル内で-helpコマンドが指定されています"},
    {-7839, "subcommand file in use.", "サブコマンドファイルが使用中です"},
    {-7838, "Invalid subcommand file.", "サブコマンドファイルが見つかりません"},
    {-7837, "Specified input file in subcommand file is directory.",
     "サブコマンドファイルにディレクトリが指定されています"},
    {-7836, "-sub command found within subcommand file.",
     "サブコマンドファイル内で-subコマンドが指定されています"},
    {-7835, "-help command found within subcommand file.",
     "サブコマンドファイル内で-helpコマンドが指定されています"},
    {-7677, "Specified file has no data.", "入力ファイルのサイズが0Byteです"},
    {-7676, "Specified file has no sample data.", "入力音声ファイルのサンプル数が0です"},
    {-7674, "Output file size becomes over 2GB.", "出力ファイルのサイズが2GBを超えます"},
    {-12287, "The command line argument is not specified.",
     "コマンドライン引数が指定されていません"},
    {-12286, "The subcommand is not specified.", "サブコマンドが指定されていません"},
    {-12285, "The subcommand parameter is not specified.",
     "サブコマンドパラメータが指定されていません"},
    {-12284, "Invalid subcommand.", "不正なサブコマンドが指定されています"},
    {-12283, "Invalid subcommand parameter.", "不正なサブコマンドパラメータが指定されています"},
    {-8447, "Internal error occurred.", "内部エラー"},
    {-16383, "Cannot open input file.", "入力ファイルをオープンできません"},
    {-16382, "Cannot open output file.", "出力ファイルをオープンできません"},
    {-3856, "The unknown error code was returned.", "未定義のエラーが発生しました"},
    {-20463, "Invalid file name.", "不正なファイル名が指定されています"},
    {-20461, "Invalid drive name.", "ドライブ名が正しくありません"},
    {-20460, "Invalid file handle.", "不正なファイルハンドルが指定されています"},
    {-20446, "Specified input file is directory.", "入力ファイルにディレクトリが指定されています"},
    {-20430, "Specified output file is directory.", "出力ファイルにディレクトリが指定されています"},
    {-20415, "No disc found in output drive.", "出力ドライブにディスクが入っていません"},
    {-20414, "Out of disk space.", "出力ドライブの空き容量が不足しています"},
    {-20413, "Output drive write disabled.", "出力ドライブは書き込み不可です"},
    {-20412, "Cannot specify CD-ROM drive as output destination.",
     "CD-ROMドライブを出力先に指定することはできません"},
    {-20411, "Output drive not ready.", "出力ドライブの準備ができていません"},
    {-20394, "File in use.", "ファイルが使用中です"},
    {-7679, "The number change of channels of a multichannel audio is not supported.",
     "マルチチャンネルオーディオのチャンネル数変更はサポートされていません"},
    {-7678, "The number of channels of the input file is not supported.",
     "入力ファイルのチャンネル数はサポートされていません"},
    {-16381, "Cannot write output file.", "出力ファイルに書き込めません"},
    {-16380, "Cannot read input file.", "入力ファイルを読み込めません"},
};

const std::size_t kErrorTableSize = sizeof(kErrorTable) / sizeof(kErrorTable[0]);

namespace {

struct SelectedErrorTable {
    std::vector<std::pair<int, std::string>> entries;
    std::string fallback;
};

SelectedErrorTable& Selected() {
    static SelectedErrorTable table;
    return table;
}

// The first module error text of the run. Reports may come from worker
// threads of the file side, so the record is guarded.
struct ModuleErrorRecord {
    std::mutex lock;
    bool set = false;  // guarded by lock
    std::string text;  // guarded by lock
};

ModuleErrorRecord& Record() {
    static ModuleErrorRecord record;
    return record;
}

// Set and printed on the main thread only.
std::string& ErrorHint() {
    static std::string hint;
    return hint;
}

}  // namespace

void SelectErrorTable(platform::ConsoleLanguage language) {
    bool japanese = language != platform::ConsoleLanguage::kEnglish;
    SelectedErrorTable& table = Selected();
    table.entries.clear();
    for (const ErrorEntry& entry : kErrorTable) {
        table.entries.emplace_back(entry.code, japanese ? ForConsole(entry.japanese, language)
                                                        : std::string(entry.english));
    }
    table.fallback = ForConsole(
        japanese ? kJapaneseTexts.error_fallback : kEnglishTexts.error_fallback, language);
    NUVERR_SetCallback(RecordModuleError, 0);
}

const std::string& LookupErrorText(int code) {
    const SelectedErrorTable& table = Selected();
    for (const auto& [entry_code, text] : table.entries) {
        if (entry_code == code) return text;
    }
    return table.fallback;
}

void PrintError(int code) {
    if (code >= 0) return;
    PrintMessage("Error %04x : %s\n", static_cast<unsigned>(code) & 0xFFFFu,
                 LookupErrorText(code).c_str());
    std::string module_text;
    if (RecordedModuleError(&module_text)) PrintMessage("(%s)\n", module_text.c_str());
    std::string& hint = ErrorHint();
    if (!hint.empty()) WriteOut(hint);
    hint.clear();
}

void SetErrorHint(std::string line) { ErrorHint() = std::move(line); }

int RecordModuleError(std::int32_t user_value, const char* text) {
    (void)user_value;
    if (text == nullptr) return 0;
    ModuleErrorRecord& record = Record();
    std::lock_guard<std::mutex> guard(record.lock);
    if (!record.set) {
        std::size_t length = std::char_traits<char>::length(text);
        record.text.assign(text, length > 1023 ? 1023 : length);
        record.set = true;
    }
    return 0;
}

bool RecordedModuleError(std::string* text) {
    ModuleErrorRecord& record = Record();
    std::lock_guard<std::mutex> guard(record.lock);
    if (record.set && text != nullptr) *text = record.text;
    return record.set;
}

void ClearModuleError() {
    ModuleErrorRecord& record = Record();
    std::lock_guard<std::mutex> guard(record.lock);
    record.set = false;
    record.text.clear();
}

}  // namespace tolmek
