#include "machine.h"

#include <gtest/gtest.h>

#include <z80ex/z80ex.h>

namespace z80 {

struct Machine::Cpu {
    Z80EX_CONTEXT* context = nullptr;
    ~Cpu() {
        if (context) z80ex_destroy(context);
    }
};

struct Callbacks {
    static Z80EX_BYTE mread(Z80EX_CONTEXT*, Z80EX_WORD address, int, void* m) {
        return static_cast<Machine*>(m)->read(address);
    }
    static void mwrite(Z80EX_CONTEXT*, Z80EX_WORD address, Z80EX_BYTE value, void* m) {
        static_cast<Machine*>(m)->write(address, value);
    }
    static Z80EX_BYTE pread(Z80EX_CONTEXT*, Z80EX_WORD, void*) { return 0xFF; }
    static void pwrite(Z80EX_CONTEXT* cpu, Z80EX_WORD port, Z80EX_BYTE value, void* p) {
        Machine* m = static_cast<Machine*>(p);
        // t_ counts the opcodes done; the current one is this far in.
        m->writes_.push_back({port, value, m->t_ + uint64_t(z80ex_op_tstate(cpu))});
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
    return bank_;
}

uint8_t Machine::read(uint16_t address) const {
    if (bank_ >= 0 && address >= 0x8000 && address < 0xC000) {
        size_t at = size_t(bank_) * 0x4000 + (address - 0x8000);
        return at < rom_.size() ? uint8_t(rom_[at]) : 0xFF;
    }
    return memory_[address];
}

void Machine::write(uint16_t address, uint8_t value) {
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
