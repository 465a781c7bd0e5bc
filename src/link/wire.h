#pragma once
// Little-endian fields of the owner-view messages. A reader that runs past its payload or
// meets a bad value stays failed, so a decoder checks once at its end.
#include <cstdint>
#include <string>
#include <string_view>

namespace kelvane::link {

class WireWriter {
  public:
    WireWriter() = default;
    explicit WireWriter(std::size_t capacity) { out_.reserve(capacity); }
    void U8(std::uint8_t v) { out_.push_back(static_cast<char>(v)); }
    void Bool(bool v) { U8(v ? 1 : 0); }
    void U16(std::uint16_t v);
    void U32(std::uint32_t v);
    void I32(std::int32_t v) { U32(static_cast<std::uint32_t>(v)); }
    void I64(std::int64_t v);
    void F64(double v);
    // At most 65535 bytes; a longer text is cut there.
    void Text(std::string_view s);

    const std::string& bytes() const { return out_; }
    std::string Take() { return std::move(out_); }
    // Overwrites four bytes written earlier, such as a length known only at the end.
    void PatchU32(std::size_t at, std::uint32_t v);

  private:
    std::string out_;
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
