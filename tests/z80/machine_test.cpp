// The emulated machine itself: port writes at their T-states, the stops, and the bank mapper.
#ifdef ASSETKIT_HAVE_Z80EX
#include "tests/z80/machine.h"

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

// A board's wait states: one more T-state on every M1 cycle, each prefix's too, none on the other
// reads. Each instruction between two writes of port 0x10.
TEST(Z80Board, WaitStatesOnEveryM1Cycle) {
    struct Row {
        const char* name;
        std::string code;
        uint64_t t;  // without wait states
        uint64_t m1; // its M1 cycles
    } rows[] = {
        {"nop", {'\x00'}, 4, 1},
        {"ld a,(0x8000)", {'\x3A', '\x00', '\x80'}, 13, 1},
        {"ld ix,0", {'\xDD', '\x21', '\x00', '\x00'}, 14, 2},
        {"ld a,(ix+0)", {'\xDD', '\x7E', '\x00'}, 19, 2},
        {"rlc b", {'\xCB', '\x00'}, 8, 2},
        {"neg", {'\xED', '\x44'}, 8, 2},
        {"ldir of 1 byte",
         {'\x01', '\x01', '\x00', '\x21', '\x00', '\x00', '\x11', '\x00', '\xC0', '\xED', '\xB0'},
         10 + 10 + 10 + 16,
         5},
    };
    for (int waits : {0, 1}) {
        for (const Row& row : rows) {
            SCOPED_TRACE(std::string(row.name) + ", " + std::to_string(waits) + " wait states");
            std::string rom = "\xF3\xD3\x10" + row.code + "\xD3\x10\x76";
            z80::Board board;
            board.m1_waits = waits;
            z80::Machine m;
            m.use_board(board, rom);
            ASSERT_EQ(m.run(1000), z80::Stop::halted);
            ASSERT_EQ(m.writes().size(), 2u);
            // The second out's own M1 cycle falls between the writes too.
            EXPECT_EQ(m.writes()[1].t - m.writes()[0].t, row.t + 11 + waits * (row.m1 + 1));
            EXPECT_TRUE(m.faults().empty()) << m.faults().front();
        }
    }
}

// The three-register mapper: a bank selected by `ld (register),a` is no fault; a push onto the
// registers, a write to them through HL, to the RAM under them, or code from the window is.
TEST(Z80Board, ThreeRegisterMapperFaults) {
    z80::Board board;
    board.mapper = z80::Mapper::three_register;
    board.mapper_register = 0xFFFF;
    board.never_write = {{0xDFFC, 0xDFFF}, {0xFFFC, 0xFFFE}};
    struct Row {
        const char* name;
        std::string code;
        int faults; // a write to a register never written counts twice: both rules break
        int bank;   // at 0x8000 afterwards; -1: any
    } rows[] = {
        {"ld (0xFFFF),a", {'\x3E', '\x03', '\x32', '\xFF', '\xFF'}, 0, 3},
        {"push at 0x0000", {'\x31', '\x00', '\x00', '\xF5'}, 3, -1},
        {"ld (hl),a at 0xFFFF", {'\x3E', '\x01', '\x21', '\xFF', '\xFF', '\x77'}, 1, 1},
        {"ld (0xDFFF),a", {'\x32', '\xFF', '\xDF'}, 1, 2},
        {"ld (0xFFFC),a", {'\x3E', '\x08', '\x32', '\xFC', '\xFF'}, 2, 2},
        {"ld (0x1000),a", {'\x32', '\x00', '\x10'}, 1, 2},
        {"ld (0xC000),a", {'\x32', '\x00', '\xC0'}, 0, 2},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::string rom(4 * 0x4000, '\x76'); // halt everywhere, the window's banks included
        rom.replace(0, 1, "\xF3");
        rom.replace(1, row.code.size(), row.code);
        z80::Machine m;
        m.use_board(board, rom);
        ASSERT_EQ(m.run(1000), z80::Stop::halted);
        EXPECT_EQ(int(m.faults().size()), row.faults);
        if (row.bank >= 0) {
            EXPECT_EQ(m.bank(), row.bank);
        }
    }
    // RAM 8 KB, seen again at 0xE000.
    std::string rom(0x8000, '\0');
    rom.replace(0, 10, "\xF3\x3E\x5A\x32\x10\xC0\x3A\x10\xE0\xD3", 10);
    rom.replace(10, 2, "\x10\x76", 2); // di; ld (0xC010),a; ld a,(0xE010); out (0x10),a; halt
    z80::Machine m;
    m.use_board(board, rom);
    ASSERT_EQ(m.run(1000), z80::Stop::halted);
    ASSERT_EQ(m.writes().size(), 1u);
    EXPECT_EQ(m.writes()[0].value, 0x5A);
    // Code from the bank window.
    std::string jump(4 * 0x4000, '\x76');
    jump.replace(0, 4, "\xF3\xC3\x00\x80", 4);
    z80::Machine window;
    window.use_board(board, jump);
    ASSERT_EQ(window.run(1000), z80::Stop::halted);
    EXPECT_EQ(window.faults().size(), 1u);
}

// The two-window board's firmware: it calls INIT with the cartridge at 0x4000 alone; RSLREG reads
// the slots; after ENASLT of the cartridge's slot at 0x8000 the window shows bank 0 of the
// cartridge, and 0x7000 selects another; in a primary slot or in an expanded one, whose table
// entries the firmware sets. A cartridge without its header is never called.
TEST(Z80Board, FirmwareCallsInitAndSelectsSlots) {
    struct Row {
        uint8_t slot;     // the cartridge's, as ENASLT takes it
        uint8_t primary;  // what RSLREG reads at INIT
        uint8_t expanded; // the expanded-slot table's entry for its primary slot
    } rows[] = {{0x01, 0xF4, 0x00}, {0x02, 0xF8, 0x00}, {0x86, 0xF8, 0x80}};
    for (const Row& row : rows) {
        SCOPED_TRACE(int(row.slot));
        z80::Board board;
        board.mapper = z80::Mapper::two_window;
        board.mapper_register = 0x7000;
        board.cartridge_slot = row.slot;
        std::string rom(4 * 0x4000, '\0');
        for (int bank = 0; bank < 4; ++bank) rom[size_t(bank) * 0x4000 + 0x100] = char(0x10 + bank);
        const uint16_t table = z80::exptbl + (row.slot & 3);
        const std::string init = {
            '\xCD',           '\x38',
            '\x01',                   // call RSLREG
            '\xD3',           '\x10', // out (0x10),a
            '\x3A',           char(table & 0xFF),
            char(table >> 8),         // ld a,(EXPTBL + primary)
            '\xD3',           '\x10', // out (0x10),a
            '\x3A',           '\x00',
            '\x81',                           // ld a,(0x8100): RAM, 0
            '\xD3',           '\x10',         // out (0x10),a
            '\x3E',           char(row.slot), // ld a,#slot
            '\x26',           '\x80',         // ld h,#0x80
            '\xCD',           '\x24',
            '\x00', // call ENASLT
            '\x3A',           '\x00',
            '\x81',                   // ld a,(0x8100): bank 0
            '\xD3',           '\x10', // out (0x10),a
            '\x3E',           '\x03', // ld a,#3
            '\x32',           '\x00',
            '\x70', // ld (0x7000),a
            '\x3A',           '\x00',
            '\x81',                   // ld a,(0x8100): bank 3
            '\xD3',           '\x10', // out (0x10),a
            '\x76',                   // halt
        };
        rom.replace(0, 4, "AB\x10\x40", 4);
        rom.replace(0x10, init.size(), init);
        z80::Machine m;
        m.use_board(board, rom);
        ASSERT_EQ(m.run(10000), z80::Stop::halted);
        for (const std::string& fault : m.faults()) ADD_FAILURE() << fault;
        std::vector<int> seen;
        for (const z80::PortWrite& w : m.writes())
            if ((w.port & 0xFF) == 0x10) seen.push_back(w.value);
        EXPECT_EQ(seen, (std::vector<int>{row.primary, row.expanded, 0x00, 0x10, 0x13}));
        EXPECT_FALSE(m.interrupts_enabled());

        rom.replace(0, 2, "BA");
        z80::Machine headless;
        headless.use_board(board, rom);
        ASSERT_EQ(headless.run(10000), z80::Stop::halted);
        EXPECT_EQ(headless.writes().size(), 1u) << "the firmware's slot setting alone";
    }
}

// The colour memory through each video chip's ports.
TEST(Z80Board, ColourMemoryThroughTheVideoPorts) {
    struct Row {
        const char* name;
        z80::Video video;
        uint8_t control, data;
        std::string code; // outs
        std::vector<uint8_t> colours;
    } rows[] = {
        {"address",
         z80::Video::address,
         0xBF,
         0xBE,
         {'\x3E', '\x01', '\xD3', '\xBF', '\x3E', '\xC0', '\xD3', '\xBF', '\x3E', '\x2A', '\xD3',
          '\xBE', '\xD3', '\xBE'},
         {0, 0x2A, 0x2A, 0}},
        {"address, VRAM",
         z80::Video::address,
         0xBF,
         0xBE,
         {'\x3E', '\x01', '\xD3', '\xBF', '\x3E', '\x40', '\xD3', '\xBF', '\x3E', '\x2A', '\xD3',
          '\xBE'},
         {0, 0, 0, 0}},
        {"register16",
         z80::Video::register16,
         0x99,
         0x9A,
         {'\x3E', '\x01', '\xD3', '\x99', '\x3E', '\x90', '\xD3', '\x99', '\x3E', '\x71', '\xD3',
          '\x9A', '\x3E', '\x07', '\xD3', '\x9A'},
         {0, 0, 0x71, 0x07}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        z80::Board board;
        board.video = row.video;
        board.colour_control = row.control;
        board.colour_data = row.data;
        board.colour_bytes = 4;
        z80::Machine m;
        m.use_board(board, "\xF3" + row.code + "\x76");
        ASSERT_EQ(m.run(1000), z80::Stop::halted);
        EXPECT_EQ(m.colour_memory(), row.colours);
    }
}

} // namespace
#endif
