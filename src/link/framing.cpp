#include "link/framing.h"

#include <stdexcept>

#include "link/wire.h"

namespace kelvane::link {

std::string EncodeFrame(std::uint16_t type, std::string_view payload) {
    if (payload.size() > kMaxFrame - kHeaderBytes) throw std::length_error("frame too long");
    WireWriter w;
    w.U32(static_cast<std::uint32_t>(payload.size() + kHeaderBytes - 4));
    w.U16(kProtocolVersion);
    w.U16(type);
    std::string out = w.Take();
    out.append(payload);
    return out;
}

void FrameReader::Feed(std::string_view bytes) {
    if (fault_ != FrameFault::None) return;
    // Taken a frame at a time, so a flood never holds more than one frame's bytes.
    while (!bytes.empty() && fault_ == FrameFault::None) {
        const std::size_t room = kMaxFrame - buffer_.size();
        const std::size_t n = bytes.size() < room ? bytes.size() : room;
        buffer_.append(bytes.substr(0, n));
        bytes.remove_prefix(n);
        Split();
    }
}

void FrameReader::Split() {
    std::size_t pos = 0;
    while (fault_ == FrameFault::None && buffer_.size() - pos >= 4) {
        WireReader header(std::string_view(buffer_).substr(pos, kHeaderBytes));
        const std::uint32_t length = header.U32();
        if (length < kHeaderBytes - 4) {
            fault_ = FrameFault::Malformed;
        } else if (length > kMaxFrame - 4) {
            fault_ = FrameFault::Oversized;
        } else if (buffer_.size() - pos >= length + 4) {
            const std::uint16_t version = header.U16();
            if (version != kProtocolVersion) {
                fault_ = FrameFault::OtherVersion;
            } else {
                Frame frame{header.U16(),
                            buffer_.substr(pos + kHeaderBytes, length + 4 - kHeaderBytes)};
                ready_.push_back(std::move(frame));
                pos += length + 4;
                continue;
            }
        }
        break;
    }
    if (fault_ != FrameFault::None) {
        buffer_.clear();
        ready_.clear();
        return;
    }
    buffer_.erase(0, pos);
}

std::optional<Frame> FrameReader::Next() {
    if (ready_.empty()) return std::nullopt;
    Frame f = std::move(ready_.front());
    ready_.pop_front();
    return f;
}

}  // namespace kelvane::link
