#include "sound/memory.h"

#include <algorithm>
#include <cstring>

namespace sound {

SNDFILE* MemoryFile::open(SF_INFO* info) {
    io_.get_filelen = [](void* p) {
        return sf_count_t(static_cast<MemoryFile*>(p)->read_->size());
    };
    io_.seek = [](sf_count_t offset, int whence, void* p) {
        MemoryFile* m = static_cast<MemoryFile*>(p);
        sf_count_t base = whence == SEEK_CUR   ? m->at_
                          : whence == SEEK_END ? sf_count_t(m->read_->size())
                                               : 0;
        sf_count_t to = base + offset;
        if (to < 0) return sf_count_t(-1);
        return m->at_ = to;
    };
    io_.read = [](void* to, sf_count_t n, void* p) {
        MemoryFile* m = static_cast<MemoryFile*>(p);
        sf_count_t size = sf_count_t(m->read_->size());
        n = std::max<sf_count_t>(0, std::min(n, size - m->at_));
        if (n > 0) memcpy(to, m->read_->data() + m->at_, size_t(n));
        m->at_ += n;
        return n;
    };
    io_.write = [](const void* from, sf_count_t n, void* p) {
        MemoryFile* m = static_cast<MemoryFile*>(p);
        if (!m->write_) return sf_count_t(0);
        if (m->at_ + n > sf_count_t(m->write_->size())) m->write_->resize(size_t(m->at_ + n));
        memcpy(&(*m->write_)[size_t(m->at_)], from, size_t(n));
        m->at_ += n;
        return n;
    };
    io_.tell = [](void* p) { return static_cast<MemoryFile*>(p)->at_; };
    return sf_open_virtual(&io_, write_ ? SFM_WRITE : SFM_READ, info, this);
}

} // namespace sound
