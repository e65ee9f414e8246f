#include "common/files.h"
#include "common/output.h"
#include "common/paths.h"
#include "tests/harness.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

using namespace common;

struct NameCase {
    const char* name;
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
    testing::Values(
        NameCase{"Plain", "bell.wav", ".bin", "bell.wav", "bell.bin"},
        NameCase{"NoExtension", "bell", ".bin", "bell", "bell.bin"},
        NameCase{"TwoDots", "a/b.c.wav", ".bin", "b.c.wav", "a/b.c.bin"},
        // A "." in a directory name never takes the extension's place.
        NameCase{"DottedFolderNoExtension", "snd.old/bell", ".bin", "bell", "snd.old/bell.bin"},
        NameCase{"DottedFolder", "old.dir/data", ".o", "data", "old.dir/data.o"},
        NameCase{"FolderAbove", "../up/sfx", ".o", "sfx", "../up/sfx.o"},
        NameCase{"BackslashFolder", "dir.d\\logo.bin", ".o", "logo.bin", "dir.d\\logo.o"},
        NameCase{"DrivePath", "c:\\snd.old\\bell", ".bin", "bell", "c:\\snd.old\\bell.bin"},
        // With a "/" in the path, a "\" is an ordinary character of the file name.
        NameCase{"BackslashBehindASlash", "sub/dir\\logo.bin", ".o", "dir\\logo.bin",
                 "sub/dir\\logo.o"},
        NameCase{"DotsOnBothSides", "sub.x/dir.y\\logo", ".o", "dir.y\\logo", "sub.x/dir.o"},
        NameCase{"SameExtension", "data.bin", ".bin", "data.bin", "data.bin"},
        NameCase{"DotFirst", ".wav", ".bin", ".wav", ".bin"},
        NameCase{"Empty", "", ".o", "", ".o"}),
    ByName());

TEST(OutputName, KeepsPathsOfAnyLength) {
    std::string dir(300, 'd');
    std::string name(700, 'n');
    EXPECT_EQ(output_name(dir + "." + "x/" + name + ".wav", ".bin"), dir + ".x/" + name + ".bin");
}

// The one folder_of, for temporary files beside their target and for messages.
TEST(FolderOf, KeepsTheLastSeparator) {
    for (auto [path, folder] : std::vector<std::pair<std::string, std::string>>{
             {"a/b/c.rel", "a/b/"},
             {"/c", "/"},
             {"c", ""},
             {"new/", "new/"},
             {"", ""},
#ifdef _WIN32
             {"a\\b", "a\\"},
#else
             {"a\\b", ""}, // a file name may hold a backslash
#endif
         })
        EXPECT_EQ(folder_of(path), folder) << path;
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

    // A folder standing at the output path is refused as one, before anything is written.
    ASSERT_EQ(mkdir((t / "dir").c_str(), 0755), 0);
    Output folder(t / "dir");
    EXPECT_EQ(folder.open(), nullptr);
    EXPECT_EQ(errno, EISDIR);
    EXPECT_EQ(folder.why(), "Is a directory");
    EXPECT_EQ(listing(t.path()), std::vector<std::string>{"dir"});
}

// An output stream whose first write fails, or whose close fails, while all else goes well: a
// write error that has passed, or a failing close, is still a failure.
TEST(CloseOutput, ReportsAnEarlierWriteErrorAndAFailedClose) {
    struct Sink {
        bool fail_first_write, fail_close;
        int writes = 0;
    };
    cookie_io_functions_t io = {};
    io.write = [](void* cookie, const char*, size_t size) -> ssize_t {
        auto* s = static_cast<Sink*>(cookie);
        if (s->writes++ == 0 && s->fail_first_write) return errno = EIO, -1;
        return ssize_t(size);
    };
    io.close = [](void* cookie) { return static_cast<Sink*>(cookie)->fail_close ? -1 : 0; };
    struct Case {
        bool fail_first_write, fail_close, closed;
    } cases[] = {{false, false, true}, {true, false, false}, {false, true, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "failing write " << c.fail_first_write
                                        << ", failing close " << c.fail_close);
        Sink sink{c.fail_first_write, c.fail_close};
        FILE* out = fopencookie(&sink, "w", io);
        ASSERT_NE(out, nullptr);
        setvbuf(out, nullptr, _IONBF, 0); // each write reaches the sink at once
        fputs("lost", out);
        fputs("data", out);
        EXPECT_EQ(close_output(out), c.closed);
    }
}

// The harness's Wine retry: a run that ends with status 1 and prints nothing is taken for one
// that Wine ended before the program started, and run again, only when it also left its folder
// as it was; a program that wrote its output and then failed in silence is a fault to see. A
// runner standing in for Wine counts its starts and, when asked, writes a file.
TEST(HarnessRetry, OnlyWhenTheFolderIsAsItWas) {
    TempDir t, work;
    write_file(t / "runner", "#!/bin/sh\necho run >>\"$COUNT\"\n"
                             "[ -z \"$WRITE\" ] || echo data >out.bin\nexit 1\n");
    ASSERT_EQ(chmod((t / "runner").c_str(), 0755), 0);
    setenv("ASSETKIT_EXE_SUFFIX", ".exe", 1);
    setenv("ASSETKIT_RUNNER", (t / "runner").c_str(), 1);
    setenv("COUNT", (t / "count").c_str(), 1);
    struct Case {
        const char* write;
        size_t starts;
    } cases[] = {{"", 3}, {"1", 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(*c.write ? "writes its output" : "leaves the folder as it was");
        setenv("WRITE", c.write, 1);
        unlink((t / "count").c_str());
        Result r = run("samplepack", {}, work.path());
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(read_file(t / "count").size(), 4 * c.starts);
    }
    for (const char* name : {"ASSETKIT_EXE_SUFFIX", "ASSETKIT_RUNNER", "COUNT", "WRITE"})
        unsetenv(name);
}
