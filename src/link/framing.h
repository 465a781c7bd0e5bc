#pragma once
// The frames on the pipe between the owner and its views: a u32 length of what follows it,
// a u16 protocol version, a u16 message type and the payload, all little-endian. A frame is
// at most kMaxFrame bytes, its length field included.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>

namespace kelvane::link {

inline constexpr std::uint16_t kProtocolVersion = 1;
inline constexpr std::size_t kHeaderBytes = 8;
inline constexpr std::size_t kMaxFrame = 64 * 1024;

struct Frame {
    std::uint16_t type = 0;
    std::string payload;
};

// The whole frame; a payload that would pass kMaxFrame is the caller's fault and throws.
std::string EncodeFrame(std::uint16_t type, std::string_view payload);

// Why a peer's bytes can be read no further: each means "drop this client".
enum class FrameFault { None, Malformed, Oversized, OtherVersion };

// Takes bytes as they arrive, in pieces of any size, and hands out whole frames. After a
// fault it takes and hands out nothing more: the stream has lost its frame boundaries.
class FrameReader {
  public:
    void Feed(std::string_view bytes);
    // The next whole frame, if one has arrived and no fault came before it.
    std::optional<Frame> Next();
    FrameFault fault() const { return fault_; }
    // Bytes held for a frame not yet whole; never more than kMaxFrame.
    std::size_t pending() const { return buffer_.size(); }

  private:
    void Split();
    std::string buffer_;
    std::deque<Frame> ready_;
    FrameFault fault_ = FrameFault::None;
};

}  // namespace kelvane::link
