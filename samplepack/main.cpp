// samplepack: packs the samples of an 8-bit WAV file into file.bin, 4 bits a sample.
#include "common/console.h"
#include "common/files.h"
#include "common/help.h"
#include "common/paths.h"
#include "samplepack/messages.h"
#include "samplepack/pack.h"

#include <string>

using namespace samplepack;

static const char help[] =
    "  input.wav  an 8-bit WAV file; its samples are packed into a file beside it,\n"
    "             with the extension .bin\n"
    "  --help     as the only argument: print this help\n"
    "  --version  as the only argument: print the version\n"
    "A key press ends the packing early. ";

int main(int argc, char** argv) {
    if (help_or_version(argc, argv, "samplepack", usage, help)) return 0;
    if (argc < 2) {
        printf(usage, invocation(argc, argv));
        return failure;
    }
    // Stream buffers larger than one read save system calls; they are fixed like the rest.
    static char in_buffer[1 << 14], out_buffer[1 << 14];
    FILE* in = open_input(argv[1]);
    if (!in) return fail(input_error, failure);
    setvbuf(in, in_buffer, _IOFBF, sizeof in_buffer);
    uint32_t length = 0;
    if (const char* error = check_header(in, &length)) return fail(error, failure);

    std::string out_path = output_name(argv[1], ".bin");
    if (same_file(argv[1], out_path.c_str())) return fail(output_error, failure);
    FILE* out = fopen(out_path.c_str(), "wb");
    if (!out) return fail(output_error, failure);
    setvbuf(out, out_buffer, _IOFBF, sizeof out_buffer);

    const char* error = pack(in, out, length, key_waiting);
    fclose(in);
    if (!close_output(out) && !error) error = output_error;
    // A packed file whose count was never written is never valid.
    if (error) remove_output(out_path.c_str());
    return error ? fail(error, failure) : 0;
}
