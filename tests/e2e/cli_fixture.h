// Runs the built tolmek in a fresh temporary folder.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli_expect.h"
#include "tests/support/child_process.h"
#include "tests/support/temp_dir.h"

class CliTest : public ::testing::Test {
  protected:
    testsupport::ChildResult Run(const std::vector<std::string>& args,
                                 const std::vector<std::string>& env = {"LANG=C"}) {
        return testsupport::RunTolmek(args, dir.path(), env);
    }

    // The run failed with exactly this error line (English) and nothing else.
    void ExpectError(const std::vector<std::string>& args, const std::string& line) {
        testsupport::ChildResult r = Run(args);
        std::string joined;
        for (const std::string& a : args)
            joined += a + " ";
        EXPECT_EQ(r.out, cli::kBannerEnglish + line + "\n") << joined;
        EXPECT_EQ(r.err, "") << joined;
        EXPECT_EQ(r.exit_code, 2) << joined;
    }

    // The run got as far as printing the file names; returns its output
    // after the banner.
    std::string FilesOf(const std::vector<std::string>& args) {
        testsupport::ChildResult r = Run(args);
        EXPECT_EQ(r.out.rfind(cli::kBannerEnglish, 0), 0u);
        std::string rest = r.out.substr(std::min(r.out.size(), cli::kBannerEnglish.size()));
        std::size_t end = rest.find("\n\n");
        return end == std::string::npos ? rest : rest.substr(0, end + 2);
    }

    testsupport::TempDir dir;
};

// One suite per behaviour.
class CliPages : public CliTest {};
class CliLanguage : public CliTest {};
class CliArguments : public CliTest {};
class CliRanges : public CliTest {};
class CliFileNames : public CliTest {};
class CliSettingsFiles : public CliTest {};
