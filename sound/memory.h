#pragma once
// A sound file held in a string, opened through libsndfile's virtual I/O: the programs' cores
// read and write whole files in memory, so a caller (a test, the fuzz target) decides where the
// bytes come from and go, and a failed run leaves nothing behind.

#include <sndfile.h>
#include <string>

namespace sound {

class MemoryFile {
  public:
    // Reads bytes, which must outlive the open file.
    explicit MemoryFile(const std::string& bytes) : read_(&bytes) {}
    // Writes into *bytes, from empty.
    explicit MemoryFile(std::string* bytes) : read_(bytes), write_(bytes) { bytes->clear(); }
    MemoryFile(const MemoryFile&) = delete;
    MemoryFile& operator=(const MemoryFile&) = delete;

    // sf_open_virtual on the bytes, in SFM_READ for the first constructor, else SFM_WRITE.
    // Null on failure, with sf_strerror(nullptr) saying why.
    SNDFILE* open(SF_INFO* info);

  private:
    const std::string* read_;
    std::string* write_ = nullptr;
    sf_count_t at_ = 0;
    SF_VIRTUAL_IO io_{};
};

} // namespace sound
