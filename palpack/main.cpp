// palpack: turns a 256-colour JASC-PAL palette into a binary palette of 12, 15, 24 or 32 bits a
// colour.
#include "common/files.h"
#include "common/help.h"
#include "palpack/convert.h"
#include "palpack/messages.h"

using namespace palpack;

static const char help[] = "  input.pal      a JASC-PAL palette of exactly 256 colours\n"
                           "  output.bin     the binary palette to write\n"
                           "  12|15|<24>|32  the bits a colour (default 24)\n"
                           "  --help         as the only argument: print this help\n"
                           "  --version      as the only argument: print the version\n";

int main(int argc, char** argv) {
    if (help_or_version(argc, argv, "palpack", usage, help)) return 0;
    if (argc < 3) {
        printf(usage, invocation(argc, argv));
        return failure;
    }
    // Binary: the palette reader does the text-mode line ends itself, alike on every platform.
    FILE* in = open_input(argv[1]);
    if (!in) return fail(open_error, failure);
    // Creating the output would empty the input before it is read.
    if (same_file(argv[1], argv[2])) return fail(create_error, failure);
    FILE* out = fopen(argv[2], "wb");
    if (!out) return fail(create_error, failure);
    int32_t depth = argc > 3 ? leading_number(argv[3]) : 24;

    const char* error = convert(in, out, depth);
    fclose(in);
    if (!close_output(out) && !error) error = write_error;
    return error ? fail(error, failure) : 0;
}
