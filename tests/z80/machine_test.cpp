// The emulated machine itself: port writes at their T-states, the stops, and the bank mapper.
#ifdef TOOLKIT_HAVE_Z80EX
#include "z80/machine.h"

#include <gtest/gtest.h>

namespace {

// A program that reads the bank window before and after choosing banks, writing what it reads
// to port 0x10, then tries to write to the window and reads back the mapper's byte in RAM.
const std::string banked_program = {
    '\xF3',                 // di
    '\x3A', '\x00', '\x80', // ld a,(0x8000)
    '\xD3', '\x10',         // out (0x10),a
    '\x00',                 // nop
    '\xD3', '\x10',         // out (0x10),a: 15 T-states after the last
    '\x3E', '\x03',         // ld a,#3
    '\x32', '\xFF', '\xFF', // ld (0xFFFF),a
    '\x3A', '\x00', '\x80', // ld a,(0x8000)
    '\xD3', '\x10',         // out (0x10),a
    '\x3E', '\x05',         // ld a,#5: bank 1 of 4
    '\x32', '\xFF', '\xFF', // ld (0xFFFF),a
    '\x3A', '\x23', '\xBF', // ld a,(0xBF23)
    '\xD3', '\x10',         // out (0x10),a
    '\x32', '\x00', '\x80', // ld (0x8000),a: ROM, ignored
    '\x3A', '\x00', '\x80', // ld a,(0x8000)
    '\xD3', '\x10',         // out (0x10),a
    '\x3A', '\xFF', '\xFF', // ld a,(0xFFFF)
    '\xD3', '\x10',         // out (0x10),a
    '\x76',                 // halt
};

TEST(Z80Machine, BankMapperShowsTheBankLastWrittenTo0xFFFF) {
    // Four banks, each filled with its number times 0x11, the program at the start of bank 0.
    std::string rom;
    for (int bank = 0; bank < 4; ++bank) rom += std::string(0x4000, char(bank * 0x11));
    rom.replace(0, banked_program.size(), banked_program);
    z80::Machine m;
    m.use_banks(rom);
    EXPECT_EQ(m.bank(), 2);
    ASSERT_EQ(m.run(100000), z80::Stop::halted);
    EXPECT_EQ(m.bank(), 1);
    std::vector<int> seen;
    for (const z80::PortWrite& w : m.writes()) {
        EXPECT_EQ(w.port & 0xFF, 0x10);
        seen.push_back(w.value);
    }
    EXPECT_EQ(seen, (std::vector<int>{0x22, 0x22, 0x33, 0x11, 0x11, 5}));
    ASSERT_GE(m.writes().size(), 2u);
    EXPECT_EQ(m.writes()[1].t - m.writes()[0].t, 15u);
}

TEST(Z80Machine, WithoutTheMapperAllIsRam) {
    z80::Machine m;
    m.load(0, banked_program);
    m.load(0x8000, "\x42");
    m.load(0xBF23, "\x43");
    EXPECT_EQ(m.bank(), -1);
    ASSERT_EQ(m.run(100000), z80::Stop::halted);
    std::vector<int> seen;
    for (const z80::PortWrite& w : m.writes()) seen.push_back(w.value);
    EXPECT_EQ(seen, (std::vector<int>{0x42, 0x42, 0x42, 0x43, 0x43, 5}));
}

// A program that never halts ends at the limit instead of hanging the test.
TEST(Z80Machine, StopsAtTheLimit) {
    z80::Machine m;
    m.load(0, std::string("\xF3\x18\xFE", 3)); // di; jr .
    EXPECT_EQ(m.run(1000), z80::Stop::limit);
    EXPECT_GE(m.t(), 1000u);
    EXPECT_LT(m.t(), 1020u);
    EXPECT_FALSE(m.interrupts_enabled());
}

} // namespace
#endif
