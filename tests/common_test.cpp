#include "files.h"
#include "harness.h"
#include "output.h"
#include "paths.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

struct NameCase {
    const char* path;
    const char* ext;
    const char* file;
    const char* out;
};

class OutputName : public testing::TestWithParam<NameCase> {};

TEST_P(OutputName, ReplacesTheFileNamesExtension) {
    const NameCase& c = GetParam();
    EXPECT_EQ(file_name(c.path), c.file);
    EXPECT_EQ(output_name(c.path, c.ext), c.out);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, OutputName,
    testing::Values(NameCase{"bell.wav", ".bin", "bell.wav", "bell.bin"},
                    NameCase{"bell", ".bin", "bell", "bell.bin"},
                    NameCase{"a/b.c.wav", ".bin", "b.c.wav", "a/b.c.bin"},
                    // A "." in a directory name never takes the extension's place.
                    NameCase{"snd.old/bell", ".bin", "bell", "snd.old/bell.bin"},
                    NameCase{"old.dir/data", ".o", "data", "old.dir/data.o"},
                    NameCase{"../up/sfx", ".o", "sfx", "../up/sfx.o"},
                    NameCase{"dir.d\\logo.bin", ".o", "logo.bin", "dir.d\\logo.o"},
                    NameCase{"c:\\snd.old\\bell", ".bin", "bell", "c:\\snd.old\\bell.bin"},
                    // With a "/" in the path, a "\" is an ordinary character of the file name.
                    NameCase{"sub/dir\\logo.bin", ".o", "dir\\logo.bin", "sub/dir\\logo.o"},
                    NameCase{"sub.x/dir.y\\logo", ".o", "dir.y\\logo", "sub.x/dir.o"},
                    NameCase{"data.bin", ".bin", "data.bin", "data.bin"},
                    NameCase{".wav", ".bin", ".wav", ".bin"}, NameCase{"", ".o", "", ".o"}));

TEST(OutputName, KeepsPathsOfAnyLength) {
    std::string dir(300, 'd');
    std::string name(700, 'n');
    EXPECT_EQ(output_name(dir + "." + "x/" + name + ".wav", ".bin"), dir + ".x/" + name + ".bin");
}

TEST(SameFile, ComparesFilesNotSpellings) {
    TempDir t;
    write_file(t / "a.bin", "x");
    write_file(t / "b.bin", "x");
    ASSERT_EQ(link((t / "a.bin").c_str(), (t / "hard").c_str()), 0);
    ASSERT_EQ(symlink("a.bin", (t / "soft").c_str()), 0);
    EXPECT_TRUE(same_file((t / "a.bin").c_str(), (t / "a.bin").c_str()));
    EXPECT_TRUE(same_file((t / "a.bin").c_str(), (t.path() + "/./a.bin").c_str()));
    EXPECT_TRUE(same_file((t / "a.bin").c_str(), (t / "hard").c_str()));
    EXPECT_TRUE(same_file((t / "soft").c_str(), (t / "a.bin").c_str()));
    EXPECT_FALSE(same_file((t / "a.bin").c_str(), (t / "b.bin").c_str()));
    EXPECT_FALSE(same_file((t / "a.bin").c_str(), (t / "missing").c_str()));
}

TEST(OpenInput, RefusesADirectory) {
    TempDir t;
    EXPECT_EQ(open_input(t.path().c_str()), nullptr);
    EXPECT_EQ(open_input((t / "missing").c_str()), nullptr);
}

TEST(CloseOutput, ReportsAFullDisk) {
    FILE* full = fopen("/dev/full", "wb");
    ASSERT_NE(full, nullptr);
    fputs("data", full); // buffered: the failure shows at the flush
    EXPECT_FALSE(close_output(full));

    TempDir t;
    FILE* ok = fopen((t / "out").c_str(), "wb");
    ASSERT_NE(ok, nullptr);
    fputs("data", ok);
    EXPECT_TRUE(close_output(ok));
    EXPECT_EQ(read_file(t / "out"), "data");
}

// The names in a folder, to see that nothing but the finished output is ever left there.
static std::vector<std::string> listing(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(Output, AppearsOnlyWhenCommitted) {
    TempDir t;
    write_file(t / "out.pal", "old");
    {
        Output out(t / "out.pal");
        FILE* f = out.open();
        ASSERT_NE(f, nullptr);
        fputs("new", f);
        fflush(f);
        EXPECT_EQ(read_file(t / "out.pal"), "old") << "the old file stands until the commit";
        EXPECT_EQ(listing(t.path()).size(), 2u);
        EXPECT_TRUE(out.commit());
    }
    EXPECT_EQ(read_file(t / "out.pal"), "new");
    EXPECT_EQ(listing(t.path()), std::vector<std::string>{"out.pal"});
}

TEST(Output, LeavesNothingWhenNotCommitted) {
    TempDir t;
    write_file(t / "keep.pal", "old");
    {
        Output out(t / "keep.pal");
        FILE* f = out.open();
        ASSERT_NE(f, nullptr);
        fputs("half", f);
    }
    {
        Output fresh(t / "fresh.pal");
        ASSERT_NE(fresh.open(), nullptr);
    }
    EXPECT_EQ(read_file(t / "keep.pal"), "old");
    EXPECT_EQ(listing(t.path()), std::vector<std::string>{"keep.pal"});
}

TEST(Output, ReportsFailures) {
    TempDir t;
    Output missing(t / "no/such/folder/out.pal");
    EXPECT_EQ(missing.open(), nullptr);
    EXPECT_EQ(errno, ENOENT);

    // A device is written directly, never replaced by a file.
    Output full("/dev/full");
    FILE* f = full.open();
    ASSERT_NE(f, nullptr);
    fputs("data", f);
    EXPECT_FALSE(full.commit());
    EXPECT_EQ(errno, ENOSPC);
    struct stat st;
    ASSERT_EQ(stat("/dev/full", &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));

    // A folder standing at the output path cannot be replaced by the file.
    ASSERT_EQ(mkdir((t / "dir").c_str(), 0755), 0);
    Output folder(t / "dir");
    ASSERT_NE(folder.open(), nullptr);
    EXPECT_FALSE(folder.commit());
    EXPECT_EQ(listing(t.path()), std::vector<std::string>{"dir"});
}
