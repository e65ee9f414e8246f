// binobj: wraps any binary file into file.o, a text object module for the linker, with one area
// holding the bytes and one global symbol that names them.
#include "binobj/messages.h"
#include "binobj/module.h"
#include "common/files.h"
#include "common/help.h"
#include "common/paths.h"

#include <string>

using namespace binobj;

static const char help[] =
    "  input.bin    any file; it is wrapped into an object module beside it, with the\n"
    "               extension .o\n"
    "  banknr       a code bank: the data goes into the area _CODE_banknr\n"
    "  0x<address>  a fixed address, in hexadecimal: the data goes into the area _ABS\n"
    "  identifier   the data's name: the symbol _identifier (default: the file name)\n"
    "  --help       as the only argument: print this help\n"
    "  --version    as the only argument: print the version\n";

int main(int argc, char** argv) {
    if (help_or_version(argc, argv, "binobj", usage, help)) return 0;
    if (argc < 2) {
        printf(usage, invocation(argc, argv));
        return failure;
    }
    FILE* in = open_measured_input(argv[1]);
    if (!in) return fail(open_error, failure);
    Settings settings = read_settings(argc, argv);
    long size = 0;
    if (const char* error = measure(in, &size)) return fail(error, failure);

    // Everything that can refuse the input is settled before the output is created, so a refused
    // run leaves what stands at the output path untouched.
    std::string out_path = output_name(argv[1], ".o");
    if (same_file(argv[1], out_path.c_str())) return fail(create_error, failure);
    if (const char* error = check(settings, size)) return fail(error, failure);
    // Text mode: the module's lines end as the platform's text files do.
    FILE* out = fopen(out_path.c_str(), "w");
    if (!out) return fail(create_error, failure);

    const char* error = write_module(in, out, settings, size);
    fclose(in);
    if (!close_output(out) && !error) error = write_error;
    return error ? fail(error, failure) : 0;
}
