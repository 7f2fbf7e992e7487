#include "app/report.h"
#include "platform/ascii.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "app/cmdline.h"
#include "app/console_text.h"

namespace tolmek {
namespace {

using platform::EqualsNoCase;

std::string_view ExtensionOrEmpty(std::string_view path) {
    std::string_view extension;
    return GetExtension(path, &extension) ? extension : std::string_view();
}

// What follows "bit" in the report's bit line: samples of IEEE float are
// "32(bit float)".
const char* FloatMark(bool is_float) { return is_float ? " float" : ""; }

// The kinds of metadata the output keeps, in the report's words.
std::string KeptMetaList(const WstmMeta& meta) {
    const ConsoleTexts& texts = CurrentTexts();
    const bool kept[kNumMetaKinds] = {!meta.bext.empty(), !meta.ixml.empty(), !meta.texts.empty(),
                                      !meta.labels.empty()};
    std::string list;
    for (int i = 0; i < kNumMetaKinds; ++i) {
        if (!kept[i]) continue;
        if (!list.empty()) list += texts.meta_separator;
        list += texts.meta_kinds[i];
    }
    return list.empty() ? texts.meta_none : list;
}

}  // namespace

void PrintFileNames(const ResampleJob& job) {
    std::string input(FileNamePart(job.input_path));
    std::string output(FileNamePart(job.output_path));
    PrintMessage(CurrentTexts().file_names.c_str(), input.c_str(), output.c_str());
}

const char* FormatNameOf(std::string_view path) {
    std::string_view extension = ExtensionOrEmpty(path);
    return EqualsNoCase(extension, "AIF") || EqualsNoCase(extension, "AIFF") ? "AIFF" : "WAV";
}

std::string FormatVolume(double volume_db) {
    // Gains are limited to -999..999 dB, so both parts fit an int.
    int whole = static_cast<int>(std::trunc(volume_db));
    int thousandths = static_cast<int>(std::abs(std::fmod(std::trunc(volume_db * 1000.0), 1000.0)));
    char buffer[64];
    std::snprintf(buffer, sizeof(buffer), "%s%d.%03d",
                  (volume_db > -1.0 && volume_db < 0.0) ? "-" : "", whole, thousandths);
    return buffer;
}

void PrintParameterReport(const ResampleJob& job) {
    const ConsoleTexts& texts = CurrentTexts();
    PrintMessage("%s", texts.report_header.c_str());
    PrintMessage(texts.report_input_format.c_str(), FormatNameOf(job.input_path));
    PrintMessage(texts.report_output_format.c_str(), FormatNameOf(job.output_path));
    PrintMessage(texts.report_values.c_str(), job.input_sampling_rate, job.output_sampling_rate,
                 job.input_num_channels, job.output_num_channels, job.input_num_bits,
                 FloatMark(job.input_float), job.output_num_bits, FloatMark(job.output_float),
                 job.input_num_samples, job.output_num_samples);
    PrintMessage(texts.report_volume.c_str(), FormatVolume(job.volume_db).c_str());
    char mode[128];
    if (job.quality == 10) {
        std::snprintf(mode, sizeof mode, "%s", texts.mode_quality.c_str());
    } else if (job.quality == 3) {
        std::snprintf(mode, sizeof mode, "%s", texts.mode_speed.c_str());
    } else {
        std::snprintf(mode, sizeof mode, texts.mode_custom.c_str(), job.quality);
    }
    if (job.keep_meta) {
        // The metadata line joins the block before its closing blank line.
        const std::string_view mode_line(mode);
        WriteOut(mode_line.substr(0, mode_line.size() - 1));
        PrintMessage(texts.report_meta.c_str(), KeptMetaList(job.output_meta).c_str());
    } else {
        PrintMessage("%s", mode);
    }
    if (EqualsNoCase(ExtensionOrEmpty(job.input_path), ExtensionOrEmpty(job.output_path)) &&
        job.input_sampling_rate == job.output_sampling_rate &&
        job.input_num_channels == job.output_num_channels &&
        job.input_num_bits == job.output_num_bits && job.input_float == job.output_float &&
        job.input_num_samples == job.output_num_samples && job.volume_db == 0.0) {
        PrintMessage("%s", texts.same_warning.c_str());
    }
}

}  // namespace tolmek
