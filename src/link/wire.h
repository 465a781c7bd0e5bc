#pragma once
// Little-endian fields of the owner-view messages. A reader that runs past its payload or
// meets a bad value stays failed, so a decoder checks once at its end.
#include <bit>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace kelvane::link {

class WireWriter {
  public:
    WireWriter() = default;
    explicit WireWriter(std::size_t capacity) { out_.resize(capacity); }
    void U8(std::uint8_t v) { *Room(1) = static_cast<char>(v); }
    void Bool(bool v) { U8(v ? 1 : 0); }
    void U16(std::uint16_t v) { Put<2>(v); }
    void U32(std::uint32_t v) { Put<4>(v); }
    void I32(std::int32_t v) { U32(static_cast<std::uint32_t>(v)); }
    void I64(std::int64_t v) { Put<8>(static_cast<std::uint64_t>(v)); }
    void F64(double v) { Put<8>(std::bit_cast<std::uint64_t>(v)); }
    // At most 65535 bytes; a longer text is cut there.
    void Text(std::string_view s) {
        const std::size_t n = s.size() < 0xFFFF ? s.size() : 0xFFFF;
        U16(static_cast<std::uint16_t>(n));
        Raw(s.substr(0, n));
    }
    void Raw(std::string_view s) {
        if (!s.empty()) std::memcpy(Room(s.size()), s.data(), s.size());
    }

    std::string_view bytes() const { return {out_.data(), used_}; }
    std::string Take();
    // Starts again over the same buffer, which keeps what it has grown to.
    void Clear() { used_ = 0; }
    // Overwrites four bytes written earlier, such as a length known only at the end.
    void PatchU32(std::size_t at, std::uint32_t v);

  private:
    // Written into directly: the state is encoded every tick, and a string's append per
    // field cost more than the rest of its encoding.
    char* Room(std::size_t n) {
        if (out_.size() - used_ < n) Grow(n);
        char* at = out_.data() + used_;
        used_ += n;
        return at;
    }
    template <std::size_t N>
    void Put(std::uint64_t v) {
        char b[N];
        for (std::size_t i = 0; i < N; ++i) b[i] = static_cast<char>(v >> (8 * i));
        std::memcpy(Room(N), b, N);  // one store where the compiler can
    }
    void Grow(std::size_t n);
    std::string out_;
    std::size_t used_ = 0;
};

class WireReader {
  public:
    explicit WireReader(std::string_view in) : in_(in) {}
    std::uint8_t U8();
    bool Bool();  // 0 or 1; anything else fails the reader
    std::uint16_t U16();
    std::uint32_t U32();
    std::int32_t I32() { return static_cast<std::int32_t>(U32()); }
    std::int64_t I64();
    double F64();
    std::string Text();
    // A count of items that each take at least `min_item_bytes`: fails when the rest of the
    // payload cannot hold them, so a lying count never allocates.
    std::size_t Count(std::size_t min_item_bytes);
    void Fail() { failed_ = true; }

    // Every byte used and nothing failed.
    bool Done() const { return !failed_ && pos_ == in_.size(); }
    bool failed() const { return failed_; }

  private:
    bool Take(std::size_t n);
    std::string_view in_;
    std::size_t pos_ = 0;
    bool failed_ = false;
};

}  // namespace kelvane::link
