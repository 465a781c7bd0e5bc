#include "link/wire.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace kelvane::link {

void WireWriter::Grow(std::size_t n) { out_.resize(std::max(used_ + n, 2 * out_.size() + 64)); }

std::string WireWriter::Take() {
    out_.resize(used_);
    used_ = 0;
    return std::move(out_);
}

void WireWriter::PatchU32(std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out_[at + static_cast<std::size_t>(i)] = static_cast<char>(v >> (8 * i));
}

bool WireReader::Take(std::size_t n) {
    if (failed_ || in_.size() - pos_ < n) {
        failed_ = true;
        return false;
    }
    return true;
}

std::uint8_t WireReader::U8() {
    if (!Take(1)) return 0;
    return static_cast<std::uint8_t>(in_[pos_++]);
}

bool WireReader::Bool() {
    const std::uint8_t v = U8();
    if (v > 1) failed_ = true;
    return v == 1;
}

std::uint16_t WireReader::U16() {
    const std::uint16_t lo = U8();
    return static_cast<std::uint16_t>(lo | (U8() << 8));
}

std::uint32_t WireReader::U32() {
    const std::uint32_t lo = U16();
    return lo | (static_cast<std::uint32_t>(U16()) << 16);
}

std::int64_t WireReader::I64() {
    const std::uint64_t lo = U32();
    return static_cast<std::int64_t>(lo | (static_cast<std::uint64_t>(U32()) << 32));
}

double WireReader::F64() { return std::bit_cast<double>(I64()); }

std::string WireReader::Text() {
    const std::uint16_t n = U16();
    if (!Take(n)) return {};
    std::string s(in_.substr(pos_, n));
    pos_ += n;
    return s;
}

std::size_t WireReader::Count(std::size_t min_item_bytes) {
    const std::uint32_t n = U32();
    if (failed_ || (min_item_bytes > 0 && n > (in_.size() - pos_) / min_item_bytes)) {
        failed_ = true;
        return 0;
    }
    return n;
}

}  // namespace kelvane::link
