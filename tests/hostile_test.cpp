// Hostile and broken input for all three programs, end to end: for each case the message, the
// exit status, and that no file in the run's folder changed other than the one output the case
// allows (the folder is compared before and after: names, kinds, sizes and contents).
//
// The cases that hold on every platform are instantiated once for each program, under its name,
// so that they run against the Windows build under Wine too; "PosixHostile" holds the cases built
// from things only POSIX has: FIFOs, devices, files under /proc, and names and arguments that are
// arbitrary bytes.
#include "binobj/messages.h"
#include "palpack/messages.h"
#include "samplepack/messages.h"
#include "tests/harness.h"
#include "tests/wav.h"

#include <csignal>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// A thing placed in the run's folder before the run.
struct Entry {
    enum Kind { File, Folder, Link, Fifo, LonelyFifo } kind;
    std::string name;
    // The file's bytes, the link's target, or what is written into the FIFO; shared, as some are
    // megabytes and every test's process copies every case.
    std::shared_ptr<const std::string> data;
};

enum class Check { Unchanged, Created, Removed, Exact };

struct Case {
    const char* name;
    bool posix_only = false;
    std::string program;
    std::vector<std::string> args;
    std::vector<Entry> entries;
    std::string message;
    int status = 0;
    // The one path the run may create or change, and what it must then hold.
    std::string output;
    Check check = Check::Unchanged;
    std::string content;

    Case(const char* name, std::string program, std::vector<std::string> args)
        : name(name), program(std::move(program)), args(std::move(args)) {}
    Case& posix() {
        posix_only = true;
        return *this;
    }
    Case& file(const std::string& path, const std::string& bytes) {
        entries.push_back({Entry::File, path, std::make_shared<const std::string>(bytes)});
        return *this;
    }
    Case& folder(const std::string& path) {
        entries.push_back({Entry::Folder, path, std::make_shared<const std::string>()});
        return *this;
    }
    Case& link(const std::string& path, const std::string& target) {
        entries.push_back({Entry::Link, path, std::make_shared<const std::string>(target)});
        return *this;
    }
    Case& fifo(const std::string& path, const std::string& bytes) {
        entries.push_back({Entry::Fifo, path, std::make_shared<const std::string>(bytes)});
        return *this;
    }
    // A FIFO that no program ever writes to.
    Case& lonely_fifo(const std::string& path) {
        entries.push_back({Entry::LonelyFifo, path, std::make_shared<const std::string>()});
        return *this;
    }
    // A refusal: the message and the program's failure status.
    Case& fails(const std::string& text) {
        message = text;
        status = program == "samplepack" ? 1 : 255;
        return *this;
    }
    // A failure after the output was created; what it holds is not looked at.
    Case& fails_after_creating(const std::string& path, const std::string& text) {
        output = path;
        check = Check::Created;
        return fails(text);
    }
    // A failure after the output was created, which then removes it again.
    Case& fails_removing(const std::string& path, const std::string& text) {
        output = path;
        check = Check::Removed;
        return fails(text);
    }
    Case& writes(const std::string& path, const std::string& bytes) {
        output = path;
        check = Check::Exact;
        content = bytes;
        return *this;
    }
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

std::string repeat(const std::string& s, size_t n) {
    std::string out;
    for (size_t i = 0; i < n; ++i) out += s;
    return out;
}

const char* const pal_header = "JASC-PAL\n0100\n256\n";

// A 256-colour palette of greys, and what it gives at depth 24.
std::string grey_palette() {
    std::string text = pal_header;
    for (int i = 0; i < 256; ++i) {
        std::string n = std::to_string(i);
        text += n + " " + n + " " + n + "\n";
    }
    return text;
}

std::string grey_triples() {
    std::string out;
    for (int i = 0; i < 256; ++i) out += std::string(3, char(i));
    return out;
}

// Bytes that mean nothing, the same on every run.
std::string garbage(size_t n) {
    std::string out;
    uint32_t x = 2463534242u;
    for (size_t i = 0; i < n; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        out += char(x);
    }
    return out;
}

// An object module of these lines, with the line ends of the program's text files.
std::string module(std::initializer_list<std::string> lines) {
    std::string out;
    for (const std::string& line : lines) out += line + line_end();
    return out;
}

std::vector<Case> cases() {
    std::string fill14 = repeat("\x88", 14);
    std::string wav5 = wav_header(0xFFFFFFFF) + bytes("00 1F 80 FF 7F");
    return {
        // Inputs that are not there or are not files.
        Case("SamplepackMissingInput", "samplepack", {"missing.wav"})
            .fails(samplepack::input_error),
        Case("BinobjMissingInput", "binobj", {"missing.bin"}).fails(binobj::open_error),
        Case("PalpackMissingInput", "palpack", {"missing.pal", "out.bin"})
            .fails(palpack::open_error),
        Case("SamplepackFolderInput", "samplepack", {"in.wav"})
            .folder("in.wav")
            .fails(samplepack::input_error),
        Case("BinobjFolderInput", "binobj", {"in.bin"}).folder("in.bin").fails(binobj::open_error),
        Case("PalpackFolderInput", "palpack", {"in.pal", "out.bin"})
            .folder("in.pal")
            .fails(palpack::open_error),
        // A folder that does not exist: the input's for the programs that derive their output
        // path from it, the output's for palpack.
        Case("SamplepackInputInMissingFolder", "samplepack", {"nowhere/in.wav"})
            .fails(samplepack::input_error),
        Case("BinobjInputInMissingFolder", "binobj", {"nowhere/in.bin"}).fails(binobj::open_error),
        Case("PalpackOutputInMissingFolder", "palpack", {"in.pal", "nowhere/out.bin"})
            .file("in.pal", grey_palette())
            .fails(palpack::create_error),
        // A full disk behind the output path, found at a write, at the last flush or at the
        // close: output that fits the stream's buffer fails only there.
        Case("SamplepackDiskFull", "samplepack", {"in.wav"})
            .file("in.wav", wav(std::string(10000, 'a')))
            .link("in.bin", "/dev/full")
            .fails(samplepack::output_error),
        Case("SamplepackDiskFullNoSamples", "samplepack", {"in.wav"})
            .file("in.wav", wav(""))
            .link("in.bin", "/dev/full")
            .fails(samplepack::output_error),
        Case("SamplepackDiskFullAtAWrite", "samplepack", {"in.wav"})
            .file("in.wav", wav(std::string(100000, 'a')))
            .link("in.bin", "/dev/full")
            .fails(samplepack::output_error),
        Case("BinobjDiskFull", "binobj", {"in.bin"})
            .file("in.bin", std::string(1000, 'a'))
            .link("in.o", "/dev/full")
            .fails(binobj::write_error),
        Case("BinobjDiskFullEmptyInput", "binobj", {"in.bin", "TILES"})
            .file("in.bin", "")
            .link("in.o", "/dev/full")
            .fails(binobj::write_error),
        Case("BinobjDiskFullLargestInput", "binobj", {"in.bin", "TILES"})
            .file("in.bin", std::string(65535, 'a'))
            .link("in.o", "/dev/full")
            .fails(binobj::write_error),
        Case("PalpackDiskFull", "palpack", {"in.pal", "out.bin"})
            .file("in.pal", grey_palette())
            .link("out.bin", "/dev/full")
            .fails(palpack::write_error),
        Case("PalpackDiskFullDepth12", "palpack", {"in.pal", "out.bin", "12"})
            .file("in.pal", grey_palette())
            .link("out.bin", "/dev/full")
            .fails(palpack::write_error),
        Case("PalpackDiskFullDevice", "palpack", {"in.pal", "/dev/full", "32"})
            .file("in.pal", grey_palette())
            .fails(palpack::write_error),
        // The header promises 4 GB of samples over five bytes: what is there is packed.
        Case("SamplepackLengthPastTheEnd", "samplepack", {"in.wav"})
            .file("in.wav", wav5)
            .file("in.bin", "old")
            .writes("in.bin", bytes("02 01 01 8F") + fill14),
        // More blocks than the count can hold: a file that would read as valid with its count
        // never written is removed, and one that stood there before is gone with it.
        Case("SamplepackTooManySamples", "samplepack", {"in.wav"})
            .file("in.wav", wav(std::string(65536 * 32, '\x40')))
            .fails(samplepack::too_many_samples),
        Case("SamplepackTooManySamplesReplacingAFile", "samplepack", {"in.wav"})
            .file("in.wav", wav_header(0xFFFFFFFF) + std::string(70000 * 32, '\x40'))
            .file("in.bin", "old")
            .fails_removing("in.bin", samplepack::too_many_samples),
        // Binary garbage and a line of 10 MB as a palette.
        Case("PalpackGarbage", "palpack", {"in.pal", "out.bin"})
            .file("in.pal", garbage(4096))
            .fails_after_creating("out.bin", palpack::format_error),
        Case("PalpackHugeNumberLine", "palpack", {"in.pal", "out.bin"})
            .file("in.pal", pal_header + std::string(10 << 20, '1'))
            .fails_after_creating("out.bin", palpack::format_error),
        // 256 colours on one line of 10 MB: the rest of the line is never read.
        Case("PalpackHugeLineOfColours", "palpack", {"in.pal", "out.bin"})
            .file("in.pal", pal_header + repeat("7 ", 5 << 20))
            .writes("out.bin", std::string(768, '\x07')),
        // Empty arguments: an argument vector cannot carry a NUL byte, an empty text is the
        // nearest to one.
        Case("SamplepackEmptyInputName", "samplepack", {""}).fails(samplepack::input_error),
        Case("BinobjEmptyInputName", "binobj", {""}).fails(binobj::open_error),
        Case("BinobjEmptyIdentifier", "binobj", {"d.bin", ""})
            .file("d.bin", "ab")
            .writes("d.o",
                    module({"XL", "H 1 areas 1 global symbols", "M _", "A _CODE size 2 flags 0",
                            "S _ Def0000", "T 00 00 61 62", "R 00 00 00 00"})),
        Case("PalpackEmptyOutputName", "palpack", {"in.pal", ""})
            .file("in.pal", grey_palette())
            .fails(palpack::create_error),
        Case("PalpackEmptyDepth", "palpack", {"in.pal", "out.bin", ""})
            .file("in.pal", grey_palette())
            .fails_after_creating("out.bin", palpack::depth_error),
        // A NUL byte ends an argument: what follows it never reaches the program.
        Case("PalpackNulInOutputName", "palpack", {"in.pal", std::string("out.bin\0.pal", 12)})
            .file("in.pal", grey_palette())
            .writes("out.bin", grey_triples()),
        // Bytes of 128 and more in arguments. They pass unchanged only where arguments are
        // bytes; Windows converts them through its code page.
        Case("BinobjHighBytesInIdentifier", "binobj", {"d.bin", "\xE9\x63ran\xFF"})
            .posix()
            .file("d.bin", "ab")
            .writes("d.o", module({"XL", "H 1 areas 1 global symbols", "M _\xE9\x63ran\xFF",
                                   "A _CODE size 2 flags 0", "S _\xE9\x63ran\xFF Def0000",
                                   "T 00 00 61 62", "R 00 00 00 00"})),
        Case("BinobjHighByteInBank", "binobj", {"d.bin", "2\xE9"})
            .posix()
            .file("d.bin", "ab")
            .file("d.o", "keep")
            .fails(binobj::invalid_bank),
        Case("PalpackHighByteBeforeDepth", "palpack", {"in.pal", "out.bin", "\xB1\x31\x32"})
            .posix()
            .file("in.pal", grey_palette())
            .fails_after_creating("out.bin", palpack::depth_error),

        // Bytes of 128 and more in file names.
        Case("SamplepackHighBytesInName", "samplepack", {"\xE9t\xE9.wav"})
            .posix()
            .file("\xE9t\xE9.wav", wav(bytes("12 34")))
            .writes("\xE9t\xE9.bin", bytes("02 01 13") + repeat("\x88", 15)),
        Case("BinobjHighBytesInName", "binobj", {"\xFF\xFE.bin"})
            .posix()
            .file("\xFF\xFE.bin", "ab")
            .writes("\xFF\xFE.o", module({"XL", "H 1 areas 1 global symbols", "M _\xFF\xFE",
                                          "A _CODE size 2 flags 0", "S _\xFF\xFE Def0000",
                                          "T 00 00 61 62", "R 00 00 00 00"})),
        Case("PalpackHighBytesInNames", "palpack", {"\xE9.pal", "\xFF.bin"})
            .posix()
            .file("\xE9.pal", grey_palette())
            .writes("\xFF.bin", grey_triples()),
        // FIFOs: samplepack and palpack read them through; binobj must know its input's size
        // before it writes the area line, and a FIFO cannot tell it.
        Case("SamplepackFifoInput", "samplepack", {"in.wav"})
            .posix()
            .fifo("in.wav", wav(std::string(8192, '\x10')))
            .writes("in.bin", bytes("01 02") + std::string(4096, '\x11')),
        Case("BinobjFifoInput", "binobj", {"in.bin"})
            .posix()
            .fifo("in.bin", "abc")
            .file("in.o", "keep")
            .fails(binobj::read_error),
        // Files whose size says nothing about their bytes: a file under /proc measures 0 but
        // holds data, a device that never ends measures 0, an empty device measures 0 and is.
        Case("BinobjMeasuresLessThanItHolds", "binobj", {"cmd.bin"})
            .posix()
            .link("cmd.bin", "/proc/self/cmdline")
            .fails_after_creating("cmd.o", binobj::read_error),
        Case("BinobjEndlessDevice", "binobj", {"zero.bin"})
            .posix()
            .link("zero.bin", "/dev/zero")
            .fails_after_creating("zero.o", binobj::read_error),
        Case("BinobjEmptyDevice", "binobj", {"null.bin"})
            .posix()
            .link("null.bin", "/dev/null")
            .writes("null.o", "XL\nH 1 areas 1 global symbols\nM _null\nA _CODE size 0 flags "
                              "0\nS _null Def0000\n"),
        Case("BinobjFifoWithoutWriter", "binobj", {"in.bin"})
            .posix()
            .lonely_fifo("in.bin")
            .file("in.o", "keep")
            .fails(binobj::read_error),
        Case("PalpackFifoInput", "palpack", {"in.pal", "out.bin"})
            .posix()
            .fifo("in.pal", grey_palette())
            .writes("out.bin", grey_triples()),
    };
}

// The cases of one program that hold on every platform, or with posix set the POSIX-only cases
// of all three.
std::vector<Case> cases(const std::string& program, bool posix) {
    static const std::vector<Case> all = cases();
    std::vector<Case> out;
    for (const Case& c : all)
        if (c.posix_only == posix && (posix || c.program == program)) out.push_back(c);
    return out;
}

// Writes bytes into a FIFO from a child process, so that neither a program that never opens it
// nor one that stops reading can hang the test: the child gives up after a while, and is ended
// once the run is over. Without bytes it stands for no writer at all, and only watches: a reader
// still waiting for a writer after half a minute would hang the run, so the watch then opens the
// FIFO (which succeeds at once only while a reader waits), and so lets the reader go on.
class FifoWriter {
  public:
    FifoWriter(const std::string& path, const std::string& data, bool lonely) {
        pid_ = fork();
        if (pid_ != 0) return;
        if (lonely) {
            sleep(30);
            _exit(open(path.c_str(), O_WRONLY | O_NONBLOCK) >= 0 ? 1 : 0);
        }
        alarm(60);
        int fd = open(path.c_str(), O_WRONLY);
        for (size_t at = 0; fd >= 0 && at < data.size();) {
            ssize_t n = write(fd, data.data() + at, data.size() - at);
            if (n <= 0) break;
            at += size_t(n);
        }
        _exit(0);
    }
    ~FifoWriter() { stop(); }
    // Ends the child; true when it found a reader waiting for a writer.
    bool stop() {
        if (pid_ <= 0) return false;
        kill(pid_, SIGKILL);
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
        return WIFEXITED(status) && WEXITSTATUS(status) == 1;
    }
    FifoWriter(const FifoWriter&) = delete;
    FifoWriter& operator=(const FifoWriter&) = delete;

  private:
    pid_t pid_;
};

class HostileInput : public testing::TestWithParam<Case> {};

TEST_P(HostileInput, IsRefusedOrConvertedAndTouchesNothingElse) {
    const Case& c = GetParam();
    TempDir t;
    write_file(t / "neighbour.txt", "not to be touched\n");
    std::vector<std::unique_ptr<FifoWriter>> writers;
    for (const Entry& e : c.entries) {
        std::string path = t / e.name;
        switch (e.kind) {
        case Entry::File:
            write_file(path, *e.data);
            break;
        case Entry::Folder:
            ASSERT_EQ(mkdir(path.c_str(), 0755), 0);
            break;
        case Entry::Link:
            ASSERT_EQ(symlink(e.data->c_str(), path.c_str()), 0);
            break;
        case Entry::Fifo:
        case Entry::LonelyFifo:
            ASSERT_EQ(mkfifo(path.c_str(), 0644), 0);
            break;
        }
    }
    auto before = snapshot(t.path());
    for (const Entry& e : c.entries)
        if (e.kind == Entry::Fifo || e.kind == Entry::LonelyFifo)
            writers.push_back(
                std::make_unique<FifoWriter>(t / e.name, *e.data, e.kind == Entry::LonelyFifo));

    Result r = run(c.program, c.args, t.path());
    for (auto& w : writers) EXPECT_FALSE(w->stop()) << "the program waited for a FIFO's writer";

    EXPECT_EQ(r.out, c.message);
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(r.err, "");
    auto after = snapshot(t.path());
    if (!c.output.empty()) {
        if (c.check == Check::Removed) {
            EXPECT_EQ(after.count(c.output), 0u) << c.output << " was left behind";
        } else {
            EXPECT_EQ(after.count(c.output), 1u) << c.output << " was not created";
            if (c.check == Check::Exact) {
                EXPECT_EQ(hex(read_file(t / c.output)), hex(c.content));
            }
        }
        before.erase(c.output);
        after.erase(c.output);
    }
    EXPECT_EQ(after, before);
}

INSTANTIATE_TEST_SUITE_P(Samplepack, HostileInput, testing::ValuesIn(cases("samplepack", false)),
                         ByName());
INSTANTIATE_TEST_SUITE_P(Binobj, HostileInput, testing::ValuesIn(cases("binobj", false)), ByName());
INSTANTIATE_TEST_SUITE_P(Palpack, HostileInput, testing::ValuesIn(cases("palpack", false)),
                         ByName());
INSTANTIATE_TEST_SUITE_P(PosixHostile, HostileInput, testing::ValuesIn(cases("", true)), ByName());

} // namespace
