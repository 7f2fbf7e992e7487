// Collects everything the front end prints while it is alive, in the
// selected language (English unless given).
#pragma once

#include <string>
#include <string_view>

#include "app/console_text.h"
#include "app/error_table.h"
#include "platform/locale.h"

class ConsoleCapture : public tolmek::ConsoleSink {
  public:
    explicit ConsoleCapture(
        platform::ConsoleLanguage language = platform::ConsoleLanguage::kEnglish) {
        tolmek::SelectConsoleTexts(language);
        tolmek::SelectErrorTable(language);
        tolmek::ClearModuleError();
        tolmek::SetConsoleSink(this);
    }
    ~ConsoleCapture() override {
        tolmek::SetConsoleSink(nullptr);
        tolmek::SelectConsoleTexts(platform::ConsoleLanguage::kEnglish);
        tolmek::SelectErrorTable(platform::ConsoleLanguage::kEnglish);
        tolmek::ClearModuleError();
    }
    void Out(std::string_view bytes) override { out.append(bytes); }
    void Err(std::string_view bytes) override { err.append(bytes); }

    std::string out;
    std::string err;
};
