#include "tests/z80/machine.h"

#include <gtest/gtest.h>

#include <z80ex/z80ex.h>

#include <cstdio>

namespace z80 {

struct Machine::Cpu {
    Z80EX_CONTEXT* context = nullptr;
    ~Cpu() {
        if (context) z80ex_destroy(context);
    }
};

struct Callbacks {
    static Z80EX_BYTE mread(Z80EX_CONTEXT*, Z80EX_WORD address, int m1, void* m) {
        Machine* machine = static_cast<Machine*>(m);
        return m1 ? machine->fetch(address) : machine->read(address);
    }
    static void mwrite(Z80EX_CONTEXT*, Z80EX_WORD address, Z80EX_BYTE value, void* m) {
        static_cast<Machine*>(m)->write(address, value);
    }
    static Z80EX_BYTE pread(Z80EX_CONTEXT*, Z80EX_WORD port, void* p) {
        Machine* m = static_cast<Machine*>(p);
        if (m->board_ && m->b_.mapper == Mapper::two_window && (port & 0xFF) == 0xA8)
            return m->slots_;
        return 0xFF;
    }
    static void pwrite(Z80EX_CONTEXT* cpu, Z80EX_WORD port, Z80EX_BYTE value, void* p) {
        Machine* m = static_cast<Machine*>(p);
        // t_ counts the opcodes done (and the wait states of this one's fetches); the current one
        // is this far in.
        m->writes_.push_back({port, value, m->t_ + uint64_t(z80ex_op_tstate(cpu))});
        if (m->board_) m->port_write(port, value);
    }
    static Z80EX_BYTE intread(Z80EX_CONTEXT*, void*) { return 0xFF; }
};

Machine::Machine() : cpu_(new Cpu) {
    cpu_->context = z80ex_create(Callbacks::mread, this, Callbacks::mwrite, this, Callbacks::pread,
                                 this, Callbacks::pwrite, this, Callbacks::intread, this);
}

Machine::~Machine() = default;

void Machine::load(uint16_t at, const std::string& bytes) {
    if (at + bytes.size() > sizeof memory_) {
        ADD_FAILURE() << bytes.size() << " bytes at 0x" << std::hex << at << " run past 0xFFFF";
        return;
    }
    std::copy(bytes.begin(), bytes.end(), memory_ + at);
}

void Machine::load(const std::map<uint32_t, uint8_t>& image) {
    for (const auto& [address, byte] : image) {
        if (address >= sizeof memory_) {
            ADD_FAILURE() << "an image byte at 0x" << std::hex << address << ", beyond 0xFFFF";
            return;
        }
        memory_[address] = byte;
    }
}

void Machine::use_banks(const std::string& rom) {
    rom_ = rom;
    // Whole banks, so the window never reads past the end.
    rom_.resize((rom_.size() + 0x3FFF) / 0x4000 * 0x4000, '\xFF');
    load(0, rom_.substr(0, 0x8000));
    bank_ = 2;
}

int Machine::bank() const {
    if (board_) return b_.mapper == Mapper::two_window ? banks_[1] : banks_[2];
    return bank_;
}

uint8_t Machine::read(uint16_t address) const {
    if (board_) return board_read(address);
    if (bank_ >= 0 && address >= 0x8000 && address < 0xC000) {
        size_t at = size_t(bank_) * 0x4000 + (address - 0x8000);
        return at < rom_.size() ? uint8_t(rom_[at]) : 0xFF;
    }
    return memory_[address];
}

void Machine::write(uint16_t address, uint8_t value) {
    if (board_) return board_write(address, value);
    if (bank_ >= 0 && address >= 0x8000 && address < 0xC000) return; // ROM
    memory_[address] = value;
    if (bank_ >= 0 && address == 0xFFFF) {
        int banks = int(rom_.size() / 0x4000);
        bank_ = banks > 0 ? value % banks : 0;
    }
}

uint8_t Machine::peek(uint16_t address) const {
    return read(address);
}

uint16_t Machine::pc() const {
    return z80ex_get_reg(cpu_->context, regPC);
}

void Machine::use_board(const Board& board, const std::string& image) {
    board_ = true;
    b_ = board;
    rom_ = image;
    size_t size = 0x4000;
    while (size < rom_.size()) size *= 2;
    rom_.resize(size, '\xFF');
    colours_.assign(b_.colour_bytes, 0);
    video_.assign(b_.video == Video::address      ? 0x4000
                  : b_.video == Video::register16 ? 0x20000
                                                  : 0,
                  0);
    if (b_.mapper == Mapper::two_window) {
        banks_[0] = banks_[1] = 0;
        // The firmware: slots, then INIT when the cartridge has a header; RSLREG as the real one.
        firmware_.assign(0x4000, '\xFF');
        const unsigned primary = b_.cartridge_slot & 3;
        const uint8_t slots = uint8_t(0xF0 | primary << 2);
        if (b_.cartridge_slot & 0x80) {
            secondary_ = uint8_t(((b_.cartridge_slot >> 2) & 3) << 2);
            memory_[exptbl + primary] = 0x80;
            memory_[slttbl + primary] = secondary_;
        }
        std::string boot = {'\xF3',
                            '\x31',
                            char(firmware_stack & 0xFF),
                            char(firmware_stack >> 8),
                            '\x3E',
                            char(slots),
                            '\xD3',
                            '\xA8'}; // di; ld sp; ld a; out (0xA8),a
        if (rom_.compare(0, 2, "AB") == 0) boot += {'\xCD', rom_[2], rom_[3]}; // call INIT
        boot += {'\xF3', '\x76'};                                              // di; halt
        firmware_.replace(0, boot.size(), boot);
        firmware_.replace(rslreg, 3, "\xDB\xA8\xC9"); // in a,(0xA8); ret
        firmware_[enaslt] = '\xC9';                   // ret, after the work done in fetch()
    } else {
        banks_[0] = 0;
        banks_[1] = 1;
        banks_[2] = 2;
    }
}

void Machine::fault(const std::string& what, uint16_t address) {
    char text[200];
    snprintf(text, sizeof text, "%s at 0x%04X (the instruction at 0x%04X, T-state %llu)",
             what.c_str(), address, fetched_, (unsigned long long)t_);
    faults_.push_back(text);
}

uint8_t Machine::rom_byte(size_t bank, uint16_t offset) const {
    // The mapper takes as many of the bank number's bits as the image has banks.
    return uint8_t(rom_[(bank * 0x4000 + offset) % rom_.size()]);
}

uint8_t Machine::board_read(uint16_t a) const {
    const unsigned page = a >> 14;
    switch (b_.mapper) {
    case Mapper::one_register:
        if (a < 0x8000) return uint8_t(rom_[a % rom_.size()]);
        if (a < 0xC000) return rom_byte(banks_[2], a - 0x8000);
        return memory_[a];
    case Mapper::three_register:
        if (a < 0x400) return uint8_t(rom_[a]);
        if (a < 0x8000) return rom_byte(banks_[page], a & 0x3FFF);
        if (a < 0xC000)
            return control_ & 8 ? cart_ram_[a - 0x8000] : rom_byte(banks_[2], a - 0x8000);
        return memory_[0xC000 | (a & 0x1FFF)];
    case Mapper::two_window:
        if (a == 0xFFFF && b_.cartridge_slot & 0x80 &&
            ((slots_ >> 6) & 3) == (b_.cartridge_slot & 3u))
            return uint8_t(~secondary_);
        switch (device(page)) {
        case Device::firmware:
            return uint8_t(firmware_[a]);
        case Device::cartridge:
            return rom_byte(banks_[page - 1], a & 0x3FFF);
        case Device::ram:
            return memory_[a];
        case Device::none:
            return 0xFF;
        }
    }
    return 0xFF;
}

Machine::Device Machine::device(unsigned page) const {
    const unsigned slot = (slots_ >> (2 * page)) & 3, primary = b_.cartridge_slot & 3;
    if (slot == 0) return page == 0 ? Device::firmware : Device::none;
    if (slot == 3) return Device::ram;
    if (slot != primary || page == 0 || page == 3) return Device::none;
    if (b_.cartridge_slot & 0x80 &&
        ((secondary_ >> (2 * page)) & 3) != ((b_.cartridge_slot >> 2) & 3u))
        return Device::none;
    return Device::cartridge;
}

void Machine::board_write(uint16_t a, uint8_t v) {
    for (auto [first, last] : b_.never_write)
        if (a >= first && a <= last) fault("a write to an address never written", a);
    // A bank selection: `ld (register),a` at the register the program selects banks through.
    auto selection = [&] {
        return a == b_.mapper_register && read(fetched_) == 0x32 &&
               read(uint16_t(fetched_ + 1)) == (a & 0xFF) && read(uint16_t(fetched_ + 2)) == a >> 8;
    };
    const unsigned page = a >> 14;
    switch (b_.mapper) {
    case Mapper::one_register:
        if (a < 0xC000) return fault("a write to ROM", a);
        memory_[a] = v;
        if (a == 0xFFFF) {
            if (!selection()) fault("a write to the mapper's register that selects no bank", a);
            banks_[2] = v;
        }
        return;
    case Mapper::three_register:
        if (a >= 0x8000 && a < 0xC000 && control_ & 8) {
            cart_ram_[a - 0x8000] = v;
            return;
        }
        if (a < 0xC000) return fault("a write to ROM", a);
        memory_[0xC000 | (a & 0x1FFF)] = v;
        if (a >= 0xFFFC) {
            if (!selection()) fault("a write to a mapper's register that selects no bank", a);
            if (a == 0xFFFC)
                control_ = v;
            else
                banks_[a - 0xFFFD] = v;
        }
        return;
    case Mapper::two_window:
        if (a == 0xFFFF && b_.cartridge_slot & 0x80 &&
            ((slots_ >> 6) & 3) == (b_.cartridge_slot & 3u)) {
            secondary_ = v;
            return;
        }
        switch (device(page)) {
        case Device::cartridge:
            if ((a & 0xF800) == 0x6000 || (a & 0xF800) == 0x7000) {
                if (!selection()) fault("a write to a mapper's register that selects no bank", a);
                banks_[(a & 0xF800) == 0x6000 ? 0 : 1] = v;
                return;
            }
            return fault("a write to ROM", a);
        case Device::ram:
            memory_[a] = v;
            return;
        default:
            return fault("a write to ROM or to no memory", a);
        }
    }
}

uint8_t Machine::fetch(uint16_t a) {
    t_ += uint64_t(board_ ? b_.m1_waits : 0);
    if (!board_) return read(a);
    fetched_ = a; // a prefix's fetch too; a write always follows its instruction's last fetch
    const unsigned page = a >> 14;
    bool placed = false;
    switch (b_.mapper) {
    case Mapper::one_register:
        placed = a < 0x8000;
        break;
    case Mapper::three_register:
        placed = a < 0x400 || (a < 0x8000 && banks_[page] == page);
        break;
    case Mapper::two_window: {
        const Device shown = device(page);
        placed = shown == Device::firmware ||
                 (shown == Device::cartridge && page == 1 && banks_[0] == 0);
        if (shown == Device::firmware && a == enaslt) {
            // ENASLT: A = the slot (bit 7: expanded, its secondary in bits 2-3), H's top bits =
            // the page.
            Z80EX_CONTEXT* cpu = cpu_->context;
            unsigned id = z80ex_get_reg(cpu, regAF) >> 8, to = z80ex_get_reg(cpu, regHL) >> 14;
            const unsigned primary = id & 3;
            if (id & 0x80) {
                if (!(memory_[exptbl + primary] & 0x80))
                    fault("ENASLT of an expanded slot in a primary slot the table says is not", a);
                secondary_ =
                    uint8_t((secondary_ & ~(3u << (2 * to))) | ((id >> 2) & 3) << (2 * to));
                memory_[slttbl + primary] = secondary_;
            }
            slots_ = uint8_t((slots_ & ~(3u << (2 * to))) | primary << (2 * to));
            z80ex_set_reg(cpu, regIFF1, 0);
            z80ex_set_reg(cpu, regIFF2, 0);
            for (Z80_REG_T r : {regAF, regBC, regDE, regHL}) z80ex_set_reg(cpu, r, 0xA55A);
        }
        break;
    }
    }
    if (!placed) fault("code fetched where the map placed none", a);
    return read(a);
}

void Machine::port_write(uint16_t port, uint8_t v) {
    const uint8_t p = uint8_t(port);
    if (b_.mapper == Mapper::two_window && p == 0xA8) slots_ = v;
    if (b_.video == Video::none || colours_.empty()) return;
    if (p == b_.colour_control) {
        if (latch_ < 0) {
            latch_ = v;
            return;
        }
        if (b_.video == Video::address) {
            colour_mode_ = (v & 0xC0) == 0xC0;
            video_at_ = uint32_t(latch_ | (v & 0x3F) << 8);
            colour_at_ = size_t(video_at_) % colours_.size();
            if ((v & 0xC0) == 0x80) registers_[v & 15] = uint8_t(latch_);
        } else if ((v & 0x80) == 0) { // the video memory's address
            video_at_ = uint32_t(latch_ | (v & 0x3F) << 8 | (registers_[14] & 7) << 14);
        } else {
            registers_[v & 0x3F] = uint8_t(latch_);
            if (v == (0x80 | 16)) { // register 16: the palette's index
                colour_at_ = size_t(latch_ & 15) * 2;
                data_latch_ = -1;
            }
        }
        latch_ = -1;
    } else if (b_.video == Video::register16 && p == b_.video_data) {
        latch_ = -1;
        video_[video_at_] = v;
        video_at_ = (video_at_ + 1) & 0x1FFFF;
    } else if (p == b_.colour_data) {
        latch_ = -1;
        if (b_.video == Video::address) {
            if (colour_mode_) {
                colours_[colour_at_] = v;
                colour_at_ = (colour_at_ + 1) % colours_.size();
            } else {
                video_[video_at_ & 0x3FFF] = v;
            }
            video_at_ = (video_at_ + 1) & 0x3FFF;
        } else if (data_latch_ < 0) {
            data_latch_ = v;
        } else {
            colours_[colour_at_] = uint8_t(data_latch_);
            colours_[colour_at_ + 1] = v;
            colour_at_ = (colour_at_ + 2) % colours_.size();
            data_latch_ = -1;
        }
    }
}

std::string Machine::screen() {
    if (b_.video == Video::register16) return bitmap_screen();
    const int width = 256, height = 192;
    if (b_.video != Video::address || colours_.size() < 32) {
        fault("no screen: the board's video chip has no mode 4", 0);
        return "";
    }
    if (!(registers_[0] & 0x04)) {
        fault("no screen: the video chip is not in mode 4 (register 0 bit 2)", 0);
        return "";
    }
    if (registers_[8] || registers_[9]) {
        fault("no screen: registers 8 and 9 scroll, which the board does not draw", 0);
        return "";
    }
    const uint16_t sprites = uint16_t((registers_[5] & 0x7E) << 7);
    if ((registers_[1] & 0x40) && video_[sprites] != 0xD0) {
        fault("no screen: a sprite is shown, which the board does not draw", sprites);
        return "";
    }
    auto rgb = [&](unsigned entry, std::string* out) {
        if (b_.colour_depth == 12) {
            uint8_t low = colours_[entry * 2], high = colours_[entry * 2 + 1];
            *out += char((low & 15) * 17);
            *out += char((low >> 4) * 17);
            *out += char((high & 15) * 17);
        } else {
            uint8_t c = colours_[entry];
            *out += char((c & 3) * 85);
            *out += char((c >> 2 & 3) * 85);
            *out += char((c >> 4 & 3) * 85);
        }
    };
    const unsigned border = 16 + (registers_[7] & 15);
    const uint16_t names = uint16_t((registers_[2] & 0x0E) << 10);
    std::string out;
    out.reserve(size_t(width) * height * 3);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            if (!(registers_[1] & 0x40) || ((registers_[0] & 0x20) && x < 8)) {
                rgb(border, &out);
                continue;
            }
            const size_t at = size_t(names + ((y / 8) * 32 + x / 8) * 2);
            const unsigned entry = video_[at] | unsigned(video_[at + 1]) << 8;
            const int row = entry & 0x0400 ? 7 - y % 8 : y % 8;
            const int column = entry & 0x0200 ? 7 - x % 8 : x % 8;
            const size_t pattern = size_t(entry & 0x1FF) * 32 + size_t(row) * 4;
            unsigned index = 0;
            for (int plane = 0; plane < 4; ++plane)
                index |= unsigned(video_[(pattern + size_t(plane)) & 0x3FFF] >> (7 - column) & 1)
                         << plane;
            rgb(index + (entry & 0x0800 ? 16 : 0), &out);
        }
    }
    return out;
}

std::string Machine::bitmap_screen() {
    if (colours_.size() < 32 || (registers_[0] & 0x0E) != 0x06 || (registers_[1] & 0x18) != 0) {
        fault("no screen: the video chip is not in the 16-colour bitmap mode", 0);
        return "";
    }
    if (!(registers_[8] & 0x02) || registers_[23]) {
        fault("no screen: sprites on or register 23 scrolls, which the board does not draw", 0);
        return "";
    }
    const int width = 256, height = registers_[9] & 0x80 ? 212 : 192;
    auto widen = [](unsigned level) { return char(level << 5 | level << 2 | level >> 1); };
    const uint32_t base = uint32_t(registers_[2] & 0x60) << 10;
    std::string out;
    out.reserve(size_t(width) * size_t(height) * 3);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const uint8_t byte = video_[(base + uint32_t(y * 128 + x / 2)) & 0x1FFFF];
            const unsigned index = !(registers_[1] & 0x40) ? registers_[7] & 15u
                                   : x % 2                 ? byte & 15u
                                                           : unsigned(byte >> 4);
            const uint8_t first = colours_[index * 2], second = colours_[index * 2 + 1];
            out += widen(first >> 4 & 7);
            out += widen(second & 7);
            out += widen(first & 7);
        }
    }
    return out;
}

Stop Machine::run(uint64_t limit) {
    while (t_ < limit) {
        if (z80ex_doing_halt(cpu_->context)) return Stop::halted;
        t_ += uint64_t(z80ex_step(cpu_->context));
    }
    return z80ex_doing_halt(cpu_->context) ? Stop::halted : Stop::limit;
}

bool Machine::interrupts_enabled() const {
    return z80ex_get_reg(cpu_->context, regIFF1) != 0;
}

} // namespace z80
