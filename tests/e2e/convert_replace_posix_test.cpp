// Replacing an existing output: permissions kept, a link's target replaced,
// devices written in place, and a failed file call named with the system's
// reason on standard error.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "convert_fixture.h"

namespace {

class ConvertReplace : public ConvertTest {
  protected:
    void SetUp() override {
        Write("in.wav", conv::MakeWav(8000, 1, 800, [](std::size_t k, int) {
                  return static_cast<std::int32_t>(k % 200) * 100 - 10000;
              }));
        fresh_ = conv::EncodeWav(Convert({"in.wav", "fresh.wav", "-freq=16000"}, "fresh.wav"));
    }
    std::string fresh_;  // what a new output holds
};

mode_t ModeOf(const std::string& path, bool follow = true) {
    struct stat st;
    if ((follow ? stat(path.c_str(), &st) : lstat(path.c_str(), &st)) != 0) return 0;
    return st.st_mode;
}

TEST_F(ConvertReplace, ExistingFilesAndLinksAreReplacedAsTheyWere) {
    dir.WriteFile("old.wav", "an older take");
    chmod(dir.Path("old.wav").c_str(), 0604);
    // Root may give the replacement the old file's owner, and does.
    const bool root = geteuid() == 0;
    if (root) {
        ASSERT_EQ(chown(dir.Path("old.wav").c_str(), 65534, 65534), 0);
    }
    dir.WriteFile("sub/target.wav", "an older take");
    ASSERT_EQ(symlink("sub/target.wav", dir.Path("link.wav").c_str()), 0);
    struct Case {
        const char* output;
        const char* replaced;
    } cases[] = {{"old.wav", "old.wav"}, {"link.wav", "sub/target.wav"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.output);
        testsupport::ChildResult r = Run({"in.wav", c.output, "-freq=16000"});
        EXPECT_EQ(r.exit_code, 0) << r.out << r.err;
        EXPECT_EQ(conv::EncodeWav(Read(c.replaced)), fresh_);
    }
    EXPECT_EQ(ModeOf(dir.Path("old.wav")) & 07777, 0604u);
    struct stat st;
    ASSERT_EQ(stat(dir.Path("old.wav").c_str(), &st), 0);
    if (root) {
        EXPECT_EQ(st.st_uid, 65534u);
    }
    EXPECT_TRUE(S_ISLNK(ModeOf(dir.Path("link.wav"), false)));
    EXPECT_EQ(std::filesystem::directory_iterator(dir.Path("sub"))->path().filename(),
              "target.wav");
}

TEST_F(ConvertReplace, DevicesAreWrittenInPlace) {
    testsupport::ChildResult r = Run({"in.wav", "/dev/null", "-freq=16000"});
    EXPECT_EQ(r.exit_code, 0) << r.out << r.err;
    EXPECT_TRUE(S_ISCHR(ModeOf("/dev/null")));
    r = Run({"in.wav", "/dev/full", "-freq=16000"});
    EXPECT_EQ(r.exit_code, 2);
    EXPECT_EQ(r.err, "tolmek: /dev/full: " + std::string(std::strerror(ENOSPC)) + "\n");
    EXPECT_TRUE(S_ISCHR(ModeOf("/dev/full")));
}

TEST_F(ConvertReplace, FailedFileCallsNameTheFileAndTheReason) {
    dir.MakeDir("closed");
    dir.WriteFile("closed/writable.wav", "an older take");
    chmod(dir.Path("closed/writable.wav").c_str(), 0666);
    dir.WriteFile("locked.wav", "an older take");
    chmod(dir.Path("locked.wav").c_str(), 0444);
    chmod(dir.Path("closed").c_str(), 0555);
    const bool root = geteuid() == 0;  // permissions do not hold back root
    struct Case {
        std::vector<std::string> args;
        const char* file;  // the file named on standard error, or none
        int error_number;
    } cases[] = {
        {{"in.wav", "nodir/out.wav"}, "nodir/out.wav", ENOENT},
        {{"missing.wav", "out.wav"}, "missing.wav", ENOENT},
        {{"in.wav", "closed/new.wav"}, root ? nullptr : "closed/new.wav", EACCES},
        {{"in.wav", "locked.wav"}, root ? nullptr : "locked.wav", EACCES},
        // A folder that takes no new file: the existing file is overwritten.
        {{"in.wav", "closed/writable.wav", "-freq=16000"}, nullptr, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[1]);
        testsupport::ChildResult r = Run(c.args);
        if (c.file == nullptr) {
            EXPECT_EQ(r.exit_code, 0) << r.out << r.err;
            continue;
        }
        EXPECT_EQ(r.exit_code, 2);
        EXPECT_EQ(r.err,
                  "tolmek: " + dir.Path(c.file) + ": " + std::strerror(c.error_number) + "\n");
        EXPECT_EQ(r.out.find("tolmek: "), std::string::npos) << r.out;
    }
    EXPECT_EQ(dir.ReadFile("closed/writable.wav"), fresh_);
    chmod(dir.Path("closed").c_str(), 0755);
}

}  // namespace
