#pragma once
// A Z80 machine for tests, over libz80ex (cycle-exact): 64 KB of memory, every port write logged
// with the T-state it happens at, run from address 0 until the CPU halts. Optionally a 16 KB
// bank mapper, for images larger than the address space; or a board as the table of machines
// (machines/) describes one, modelled as the hardware behaves: its mapper's registers, RAM and
// mirrors, wait states, firmware and slots, and colour memory, with every write or code fetch
// the program cannot have meant logged as a fault.

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

// How the cartridge's banks are selected (a machine row's MAPPER_KIND).
enum class Mapper {
    one_register,   // 0xFFFF (also RAM's top byte) selects the bank at 0x8000; RAM 0xC000-0xFFFF
    three_register, // 0xFFFD, 0xFFFE, 0xFFFF select the banks at 0x0000 (its first 1 KB always
                    // bank 0), 0x4000, 0x8000; 0xFFFC bit 3 maps cartridge RAM at 0x8000; RAM
                    // 8 KB at 0xC000, mirrored at 0xE000, where the registers' writes land too
    two_window,     // in the cartridge's slot, 0x6000-0x67FF selects the bank at 0x4000,
                    // 0x7000-0x77FF the bank at 0x8000; both bank 0 at power-on; slots and a
                    // firmware (below)
};

// How the program's palette reaches the video chip's colour memory.
enum class Video {
    none,
    address,   // two bytes to the control port: address low, then high with bits 7-6 = 11; then
               // bytes to the data port, the address counting up. The same chip's 16 KB video
               // memory (bits 7-6 = 01, or 00) and registers (10: the first byte is the value,
               // the second's low bits the register), and its screen in mode 4 (below)
    register16 // two bytes to the control port: a value, then 0x80 | register; register 16 is
               // the entry's index; then two bytes an entry to the data port, the index counting.
               // The same chip's 128 KB video memory: the address's low byte, then 0x40 | its
               // bits 13-8 to the control port, bits 16-14 in register 14; then bytes to the
               // video memory port (below), the address counting up; and its screen in the
               // 16-colour bitmap mode (below)
};

struct Board {
    Mapper mapper = Mapper::one_register;
    int m1_waits = 0;             // wait states on every M1 cycle
    uint16_t mapper_register = 0; // the address the program selects its banks through
    std::vector<std::pair<uint16_t, uint16_t>> never_write; // first-last, the program's never
    Video video = Video::none;
    uint8_t colour_control = 0, colour_data = 0; // ports, low byte
    size_t colour_bytes = 0;                     // the colour memory's size
    int colour_depth = 0;   // address: 6 (00BBGGRR) or 12 (GGGGRRRR, 0000BBBB), for the screen
    uint8_t video_data = 0; // register16: the port that takes video memory's bytes
    // two_window: the cartridge's slot as ENASLT takes it: its primary slot (1 or 2), or
    // 0x80 | secondary << 2 | primary in a slot expanded into four.
    uint8_t cartridge_slot = 1;
};

// The firmware of a two_window board, in 16 KB at 0x0000 of slot 0: at reset it puts slot 0 at
// 0x0000, the cartridge's slot at 0x4000 and RAM's slot 3 at 0x8000 and 0xC000 (port 0xA8, and
// the expanded slot's secondary register, which reads back inverted at 0xFFFF while its primary
// slot shows there), and calls the cartridge's INIT when its first bytes are "AB" (then halts);
// RSLREG (0x0138) reads port 0xA8; ENASLT (0x0024) selects slot A's page at H as the real routine
// does, the secondary slot too (bit 7), leaving interrupts disabled and A, BC, DE and HL changed.
// The expanded-slot table at 0xFCC1 marks the cartridge's primary slot when it is expanded, and
// the copies of the secondary registers at 0xFCC5 follow every change.
constexpr uint16_t rslreg = 0x0138, enaslt = 0x0024, exptbl = 0xFCC1, slttbl = 0xFCC5,
                   firmware_stack = 0xF380;

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
    // The bank 0x8000-0xBFFF shows (a board's: its mapper's register for the window): 2 at start;
    // -1 without the mapper.
    int bank() const;

    // A board, its image flat (whole 16 KB banks from the cartridge's first byte, as the board's
    // mapper numbers them; the image's size rounded up to a power of two of banks with 0xFF, as
    // a cartridge repeats it).
    void use_board(const Board& board, const std::string& image);
    // What the program did that the board says it never means: a write to a mapper's register
    // other than a bank selection by `ld (register),a`, to the board's never_write or to ROM,
    // code fetched from RAM, from the bank window or from a bank the map did not place, an
    // ENASLT it cannot have meant. Each with its address and T-state.
    const std::vector<std::string>& faults() const { return faults_; }
    // The colour memory's bytes as the program left them.
    const std::vector<uint8_t>& colour_memory() const { return colours_; }
    // The video memory and the registers as the program left them.
    const std::vector<uint8_t>& video_memory() const { return video_; }
    uint8_t video_register(int r) const { return registers_[r & 63]; }
    // Video::address: the screen the chip shows in mode 4 (register 0 bit 2), 256 x 192 pixels of
    // RGB bytes, row by row: with the display off (register 1 bit 6 clear) the border colour
    // (colour memory entry 16 + register 7's low bits) everywhere; else 32 x 24 tiles from the
    // name table at (register 2 & 0x0E) << 10, each entry 16 bits little-endian (bits 0-8 the
    // tile, 32 bytes from 0x0000 each, 4 planes a row; 0x0200 and 0x0400 the flips; 0x0800 the
    // entries from 16), the left column the border colour when register 0 bit 5 says. Sprites
    // and scrolling are not drawn: "" with a fault when registers 8 or 9 scroll or a sprite is
    // shown, or when the chip is in another mode.
    // Video::register16: the screen in the 16-colour bitmap mode (registers 0 and 1: 0x06 and
    // 0x00 in their mode bits), 256 pixels across, 192 lines (212 with register 9 bit 7), two
    // pixels a byte from (register 2 & 0x60) << 10, 128 bytes a line, the left pixel in the high
    // nibble, colours 0RRR0BBB, 00000GGG (each 3 bits widened by repeating them); the border
    // colour (register 7's low bits) everywhere with the display off. "" with a fault when sprites
    // are on (register 8 bit 1 clear) or register 23 scrolls.
    std::string screen();
    uint16_t pc() const;

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

    // A board's state.
    bool board_ = false;
    Board b_;
    std::string firmware_;
    uint8_t banks_[3] = {0, 1, 2}; // three_register: 0x0000, 0x4000, 0x8000; two_window: 0, 1
    uint8_t control_ = 0;          // three_register: 0xFFFC
    uint8_t cart_ram_[0x4000] = {};
    uint8_t slots_ = 0;     // two_window: port 0xA8, 2 bits a page
    uint8_t secondary_ = 0; // two_window: the expanded slot's secondary register
    uint16_t fetched_ = 0;  // the address of the instruction being run
    std::vector<std::string> faults_;
    std::vector<uint8_t> colours_;
    int latch_ = -1;      // the control port's first byte, while it waits for the second
    int data_latch_ = -1; // register16: an entry's first byte
    size_t colour_at_ = 0;
    bool colour_mode_ = false;   // address: the control port chose the colour memory
    std::vector<uint8_t> video_; // address: 16 KB; register16: 128 KB
    uint8_t registers_[64] = {};
    uint32_t video_at_ = 0;

    uint8_t read(uint16_t address) const;
    void write(uint16_t address, uint8_t value);
    uint8_t board_read(uint16_t address) const;
    void board_write(uint16_t address, uint8_t value);
    uint8_t fetch(uint16_t address);
    std::string bitmap_screen();
    void port_write(uint16_t port, uint8_t value);
    void fault(const std::string& what, uint16_t address);
    uint8_t rom_byte(size_t bank, uint16_t offset) const;
    enum class Device { none, firmware, cartridge, ram };
    Device device(unsigned page) const; // two_window: what the slots show there
    friend struct Callbacks;
};

} // namespace z80
