#pragma once
// A Z80 machine for tests, over libz80ex (cycle-exact): 64 KB of memory, every port write logged
// with the T-state it happens at, run from address 0 until the CPU halts. Optionally a 16 KB
// bank mapper, for images larger than the address space.

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace z80 {

struct PortWrite {
    uint16_t port; // the whole address bus: out (n),a puts A in the high byte; most machines
                   // decode the low byte alone
    uint8_t value;
    uint64_t t; // T-states from the start of the run to the write
};

enum class Stop {
    halted, // HALT reached (with interrupts disabled: nothing can wake the CPU)
    limit,  // the T-state limit reached first
};

class Machine {
  public:
    Machine();
    ~Machine();
    Machine(const Machine&) = delete;
    Machine& operator=(const Machine&) = delete;

    // Copies bytes into memory from address at; fails the test if they run past 0xFFFF.
    void load(uint16_t at, const std::string& bytes);
    // An Intel HEX image as intel_hex_image (tests/tools.h) gives it; fails the test for an address
    // beyond 0xFFFF.
    void load(const std::map<uint32_t, uint8_t>& image);

    // The bank mapper. rom is a flat image of 16 KB banks (the last one may be short): its first
    // 32 KB (banks 0 and 1) are loaded at 0x0000, and 0x8000-0xBFFF shows bank 2 until the
    // program writes a bank's number to 0xFFFF (taken modulo the number of banks; the byte also
    // lands in RAM there). Writes to the window are ignored. 0xC000-0xFFFF is RAM.
    void use_banks(const std::string& rom);
    // The bank 0x8000-0xBFFF shows: 2 at start; -1 without the mapper.
    int bank() const;

    // Runs from where it stands (address 0 at first) until HALT or until limit T-states have
    // passed since the start.
    Stop run(uint64_t limit);
    bool interrupts_enabled() const;  // IFF1
    uint64_t t() const { return t_; } // T-states run so far
    uint8_t peek(uint16_t address) const;

    const std::vector<PortWrite>& writes() const { return writes_; }

  private:
    struct Cpu;
    std::unique_ptr<Cpu> cpu_;
    uint8_t memory_[0x10000] = {};
    std::string rom_;
    int bank_ = -1;
    uint64_t t_ = 0;
    std::vector<PortWrite> writes_;

    uint8_t read(uint16_t address) const;
    void write(uint16_t address, uint8_t value);
    friend struct Callbacks;
};

} // namespace z80
