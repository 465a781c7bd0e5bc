#include "link/messages.h"

#include <bit>

#include "link/framing.h"
#include "link/wire.h"

namespace kelvane::link {
namespace {

std::string Framed(MessageType type, const WireWriter& w) {
    return EncodeFrame(static_cast<std::uint16_t>(type), w.bytes());
}

template <typename T>
std::optional<T> Finish(const WireReader& r, T value) {
    if (!r.Done()) return std::nullopt;
    return value;
}

void PutTexts(WireWriter& w, const std::vector<std::string>& lines) {
    w.U32(static_cast<std::uint32_t>(lines.size()));
    for (const std::string& l : lines) w.Text(l);
}

std::vector<std::string> GetTexts(WireReader& r) {
    std::vector<std::string> lines(r.Count(2));
    for (std::string& l : lines) l = r.Text();
    return lines;
}

// Per column: flags, the two limits, a mask of the present statistics and their values.
constexpr std::size_t kColumnHead = 1 + 8 + 2;
constexpr std::size_t kSpanHead = 8 + 8 + 4 + 4 + 4;

void PutColumn(WireWriter& w, const history::Column& c) {
    w.U8(static_cast<std::uint8_t>((c.lasting ? 1 : 0) | (c.gap ? 2 : 0) | (c.jump ? 4 : 0) |
                                   (c.minutes ? 8 : 0)));
    w.I32(c.limit[0]);
    w.I32(c.limit[1]);
    std::uint16_t mask = 0;
    for (std::size_t i = 0; i < c.stat.size(); ++i)
        if (c.stat[i].present) mask = static_cast<std::uint16_t>(mask | (1u << i));
    w.U16(mask);
    for (const history::Stat& s : c.stat)
        if (s.present) {
            w.F64(s.min);
            w.F64(s.mean);
            w.F64(s.max);
        }
}

void GetColumn(WireReader& r, history::Column& c) {
    const std::uint8_t flags = r.U8();
    if (flags > 15) r.Fail();
    c.lasting = (flags & 1) != 0;
    c.gap = (flags & 2) != 0;
    c.jump = (flags & 4) != 0;
    c.minutes = (flags & 8) != 0;
    c.limit[0] = r.I32();
    c.limit[1] = r.I32();
    const std::uint16_t mask = r.U16();
    if (mask >> c.stat.size()) r.Fail();
    for (std::size_t i = 0; i < c.stat.size(); ++i) {
        history::Stat& s = c.stat[i];
        s.present = (mask >> i & 1) != 0;
        if (!s.present) continue;
        s.min = r.F64();
        s.mean = r.F64();
        s.max = r.F64();
    }
}

}  // namespace

LayoutMessage LayoutOf(const Form1& owner) {
    return {owner.window, owner.settings, owner.KelvaneFanFlag, owner.KelvaneFanSpecialFlag};
}

std::string Encode(const LayoutMessage& m) {
    WireWriter w;
    Put(w, m.window);
    Put(w, m.settings);
    w.U16(static_cast<std::uint16_t>(m.KelvaneFanFlag));
    w.U16(static_cast<std::uint16_t>(m.KelvaneFanSpecialFlag));
    return Framed(MessageType::Layout, w);
}

std::optional<LayoutMessage> DecodeLayout(std::string_view payload) {
    WireReader r(payload);
    LayoutMessage m;
    Get(r, m.window);
    Get(r, m.settings);
    m.KelvaneFanFlag = static_cast<i16>(r.U16());
    m.KelvaneFanSpecialFlag = static_cast<i16>(r.U16());
    return Finish(r, std::move(m));
}

void ApplyLayout(const LayoutMessage& m, Form1& view) {
    MainWindowModel& view_window = view.window;
    MainWindowModel w = m.window;
    w.left = view_window.left;
    w.top = view_window.top;
    w.visible = view_window.visible;
    w.state = view_window.state;
    w.close_greyed = view_window.close_greyed;
    w.tray_menu_visible = view_window.tray_menu_visible;
    view_window = std::move(w);
    view.settings = m.settings;
    view.KelvaneFanFlag = m.KelvaneFanFlag;
    view.KelvaneFanSpecialFlag = m.KelvaneFanSpecialFlag;
}

std::string Encode(const AboutMessage& m) {
    WireWriter w;
    w.Text(m.owner);
    PutTexts(w, m.details);
    return Framed(MessageType::About, w);
}

std::optional<AboutMessage> DecodeAbout(std::string_view payload) {
    WireReader r(payload);
    AboutMessage m;
    m.owner = r.Text();
    m.details = GetTexts(r);
    return Finish(r, std::move(m));
}

std::string Encode(const WindowOpMessage& m) {
    WireWriter w;
    w.U8(static_cast<std::uint8_t>(m.kind));
    w.Bool(m.on);
    w.Text(m.warning_text);
    w.Text(m.back_to_normal);
    return Framed(MessageType::WindowOp, w);
}

std::optional<WindowOpMessage> DecodeWindowOp(std::string_view payload) {
    WireReader r(payload);
    WindowOpMessage m;
    const std::uint8_t kind = r.U8();
    if (kind < 1 || kind > 3) r.Fail();
    m.kind = static_cast<WindowOpKind>(kind);
    m.on = r.Bool();
    m.warning_text = r.Text();
    m.back_to_normal = r.Text();
    return Finish(r, std::move(m));
}

std::string Encode(const BalloonMessage& m) {
    WireWriter w;
    w.Text(m.title);
    w.Text(m.text);
    return Framed(MessageType::Balloon, w);
}

std::optional<BalloonMessage> DecodeBalloon(std::string_view payload) {
    WireReader r(payload);
    BalloonMessage m;
    m.title = r.Text();
    m.text = r.Text();
    return Finish(r, std::move(m));
}

std::string EncodeWaveAlarm(const std::string& path) {
    WireWriter w;
    w.Text(path);
    return Framed(MessageType::WaveAlarm, w);
}

std::optional<std::string> DecodeWaveAlarm(std::string_view payload) {
    WireReader r(payload);
    std::string path = r.Text();
    return Finish(r, std::move(path));
}

std::string Encode(const SettingsChange& c) {
    WireWriter w;
    Put(w, c);
    return Framed(MessageType::SettingsChangeRequest, w);
}

std::optional<SettingsChange> DecodeSettingsChange(std::string_view payload) {
    WireReader r(payload);
    SettingsChange c;
    Get(r, c);
    return Finish(r, std::move(c));
}

std::string Encode(const SettingsAnswer& a) {
    WireWriter w;
    w.Bool(a.applied);
    w.Text(a.message);
    return Framed(MessageType::SettingsAnswer, w);
}

std::optional<SettingsAnswer> DecodeSettingsAnswer(std::string_view payload) {
    WireReader r(payload);
    SettingsAnswer a;
    a.applied = r.Bool();
    a.message = r.Text();
    return Finish(r, std::move(a));
}

std::string Encode(const SpanRequest& q) {
    WireWriter w;
    w.I64(q.begin);
    w.I64(q.end);
    w.I32(q.columns);
    return Framed(MessageType::SpanRequest, w);
}

std::optional<SpanRequest> DecodeSpanRequest(std::string_view payload) {
    WireReader r(payload);
    SpanRequest q;
    q.begin = r.I64();
    q.end = r.I64();
    q.columns = r.I32();
    if (q.columns < 1 || q.columns > kMaxSpanColumns || q.end <= q.begin) r.Fail();
    return Finish(r, q);
}

std::string EncodeSpanReply(const history::SpanData& d) {
    std::string frames;
    std::size_t first = 0;
    do {
        WireWriter cols;
        std::size_t count = 0;
        for (; first + count < d.columns.size(); ++count) {
            WireWriter one;
            PutColumn(one, d.columns[first + count]);
            if (kHeaderBytes + kSpanHead + cols.bytes().size() + one.bytes().size() > kMaxFrame)
                break;
            cols.Raw(one.bytes());
        }
        WireWriter w;
        w.I64(d.begin);
        w.I64(d.end);
        w.U32(static_cast<std::uint32_t>(d.columns.size()));
        w.U32(static_cast<std::uint32_t>(first));
        w.U32(static_cast<std::uint32_t>(count));
        frames += EncodeFrame(static_cast<std::uint16_t>(MessageType::SpanReply),
                              std::string(w.bytes()) + std::string(cols.bytes()));
        first += count;
    } while (first < d.columns.size());
    return frames;
}

SpanAssembler::Result SpanAssembler::Take(std::string_view payload) {
    WireReader r(payload);
    const std::int64_t begin = r.I64(), end = r.I64();
    const std::uint32_t total = r.U32(), first = r.U32();
    const std::size_t count = r.Count(kColumnHead);
    if (r.failed() || total > static_cast<std::uint32_t>(kMaxSpanColumns)) return Result::Malformed;
    if (!started_) {
        span_ = {begin, end, {}};
        span_.columns.reserve(total);
        expected_ = total;
        started_ = true;
    }
    // Each frame continues where the last one ended, for the same span.
    if (begin != span_.begin || end != span_.end || total != expected_ ||
        first != span_.columns.size() || first + count > total)
        return Result::Malformed;
    for (std::size_t i = 0; i < count && !r.failed(); ++i)
        GetColumn(r, span_.columns.emplace_back());
    if (!r.Done()) return Result::Malformed;
    if (span_.columns.size() < expected_) return Result::More;
    started_ = false;
    return Result::Done;
}

bool IsViewRequest(std::uint16_t type, std::string_view payload) {
    switch (static_cast<MessageType>(type)) {
        case MessageType::SettingsChangeRequest:
            return DecodeSettingsChange(payload).has_value();
        case MessageType::SpanRequest:
            return DecodeSpanRequest(payload).has_value();
        case MessageType::DataFolderRequest:
            return payload.empty();
        default:
            return false;
    }
}

std::string EncodeDataFolderRequest() {
    return Framed(MessageType::DataFolderRequest, WireWriter());
}

std::string EncodeDataFolderReply(const std::string& folder) {
    WireWriter w;
    w.Text(folder);
    return Framed(MessageType::DataFolderReply, w);
}

std::optional<std::string> DecodeDataFolderReply(std::string_view payload) {
    WireReader r(payload);
    std::string folder = r.Text();
    return Finish(r, std::move(folder));
}

}  // namespace kelvane::link
