#pragma once
// The messages between the owner and its views, apart from the per-tick state
// (link/published_state.h). Each Encode returns the whole frame; each Decode takes a frame's
// payload and gives nothing for a payload that is short, long or out of range.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/settings.h"
#include "history/span.h"
#include "link/model_wire.h"
#include "state/controls.h"
#include "state/form1.h"

namespace kelvane::link {

enum class MessageType : std::uint16_t {
    // owner to view
    State = 1,           // after every tick
    Layout = 2,          // on connecting, and when the window's model or the settings change
    About = 3,           // on connecting, and when the details change
    WindowOp = 4,        // a window operation of the cycle, for each view to perform
    WaveAlarm = 5,       // play the alarm's wave file
    Balloon = 6,         // the tray balloon
    SettingsAnswer = 7,  // to a SettingsChange
    SpanReply = 8,       // to a SpanRequest
    DataFolderReply = 9,
    // view to owner
    SettingsChangeRequest = 101,
    SpanRequest = 102,
    DataFolderRequest = 103,
};

struct LayoutMessage {
    MainWindowModel window;
    Settings settings;
    // The chip's register layout: which set points a fan record has, in the view's Option
    // dialog as in the owner's settings file.
    i16 KelvaneFanFlag = 0;
    i16 KelvaneFanSpecialFlag = 0;
};
LayoutMessage LayoutOf(const Form1& owner);
std::string Encode(const LayoutMessage& m);
std::optional<LayoutMessage> DecodeLayout(std::string_view payload);
// The owner's window as a view takes it: where the view's own window is and whether it is
// shown stay the view's.
void ApplyLayout(const LayoutMessage& m, Form1& view);

struct AboutMessage {
    std::string owner;  // "this window program" or "Kelvane service, running since ..."
    std::vector<std::string> details;
};
std::string Encode(const AboutMessage& m);
std::optional<AboutMessage> DecodeAbout(std::string_view payload);

enum class WindowOpKind : std::uint8_t { RestoreMain = 1, OpenWarning = 2, Topmost = 3 };
struct WindowOpMessage {
    WindowOpKind kind = WindowOpKind::RestoreMain;
    bool on = false;           // Topmost: on or off
    std::string warning_text;  // OpenWarning: the warning window's message line
    std::string back_to_normal;
};
std::string Encode(const WindowOpMessage& m);
std::optional<WindowOpMessage> DecodeWindowOp(std::string_view payload);

struct BalloonMessage {
    std::string title;
    std::string text;
};
std::string Encode(const BalloonMessage& m);
std::optional<BalloonMessage> DecodeBalloon(std::string_view payload);

// The wave file's name within the owner's program folder; an empty payload otherwise.
std::string EncodeWaveAlarm(const std::string& path);
std::optional<std::string> DecodeWaveAlarm(std::string_view payload);

std::string Encode(const SettingsChange& c);
std::optional<SettingsChange> DecodeSettingsChange(std::string_view payload);

struct SettingsAnswer {
    bool applied = false;
    std::string message;  // why not, for the dialog's message box; empty when applied
};
std::string Encode(const SettingsAnswer& a);
std::optional<SettingsAnswer> DecodeSettingsAnswer(std::string_view payload);

struct SpanRequest {
    std::int64_t begin = 0, end = 0;
    std::int32_t columns = 0;  // 1 to kMaxSpanColumns
};
inline constexpr std::int32_t kMaxSpanColumns = 2048;
std::string Encode(const SpanRequest& r);
std::optional<SpanRequest> DecodeSpanRequest(std::string_view payload);

// A span's columns pass one frame's limit, so the reply comes as consecutive frames, each
// with the span and the next share of its columns; the frames are returned one after another
// in one string.
std::string EncodeSpanReply(const history::SpanData& d);

// Puts a reply's frames together again, in order.
class SpanAssembler {
  public:
    enum class Result { More, Done, Malformed };
    Result Take(std::string_view payload);
    // The span once Take said Done.
    const history::SpanData& span() const { return span_; }

  private:
    history::SpanData span_;
    std::size_t expected_ = 0;
    bool started_ = false;
};

// A frame a view may send the owner: one of the view's types with a payload that decodes.
// Anything else is malformed, and its sender is dropped.
bool IsViewRequest(std::uint16_t type, std::string_view payload);

std::string EncodeDataFolderRequest();
std::string EncodeDataFolderReply(const std::string& folder);
std::optional<std::string> DecodeDataFolderReply(std::string_view payload);

}  // namespace kelvane::link
