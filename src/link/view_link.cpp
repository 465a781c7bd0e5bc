#include "link/view_link.h"

#include "app/about_details.h"
#include "base/failure_policy.h"
#include "link/published_state.h"
#include "setup/setup_problem.h"
#include "state/open_window.h"
#include "state/status_line.h"

namespace kelvane::link {
namespace {

// The pictures the owner's skin names, loaded in this process too; one that cannot be
// loaded here leaves the design picture.
void LoadPictures(Form1& f) {
    auto load = [&](std::string& picture) {
        if (picture.empty()) return;
        bool loaded = false;
        SkipOnError([&] { loaded = f.sys.host.LoadPicture(picture); });
        if (!loaded) picture.clear();
    };
    load(f.window.picture);
    for (Control& item : f.window.Image1) load(item.picture);
    load(f.window.Logo.picture);
}

// The warning window words the owner's alarm from the code the state carries.
std::string MessageOfCode(std::int32_t code) {
    if (code < 0 || code >= static_cast<std::int32_t>(kStatusTexts.size())) return kNormalText;
    return kStatusTexts[static_cast<std::size_t>(code)].message;
}

}  // namespace

bool ViewLink::Take(const Frame& frame) {
    switch (static_cast<MessageType>(frame.type)) {
        case MessageType::State: {
            const auto s = DecodeState(frame.payload);
            if (!s) return false;
            TakeState(*s);
            return true;
        }
        case MessageType::Layout: {
            auto m = DecodeLayout(frame.payload);
            if (!m) return false;
            TakeLayout(std::move(*m));
            return true;
        }
        case MessageType::About: {
            auto m = DecodeAbout(frame.payload);
            if (!m) return false;
            about_ = std::move(*m);
            return true;
        }
        case MessageType::WindowOp: {
            const auto m = DecodeWindowOp(frame.payload);
            if (!m) return false;
            TakeWindowOp(*m);
            return true;
        }
        case MessageType::WaveAlarm: {
            const auto path = DecodeWaveAlarm(frame.payload);
            if (!path) return false;
            if (!path->empty()) SkipOnError([&] { f_.sys.sound.PlayWave(*path); });
            return true;
        }
        case MessageType::Balloon: {
            const auto m = DecodeBalloon(frame.payload);
            if (!m) return false;
            // A user who watches the window has already seen the label turn red.
            if (!f_.window.visible) shell_.ShowBalloon(m->title, m->text);
            return true;
        }
        case MessageType::SettingsAnswer: {
            const auto a = DecodeSettingsAnswer(frame.payload);
            if (!a) return false;
            if (!a->applied) {
                // Nothing was written: the dialog shows the owner's settings again.
                if (layout_) f_.settings = layout_->settings;
                shell_.SettingsRefused(a->message);
            }
            return true;
        }
        case MessageType::SpanReply:
            switch (span_.Take(frame.payload)) {
                case SpanAssembler::Result::Malformed:
                    return false;
                case SpanAssembler::Result::Done:
                    shell_.SpanArrived(span_.span());
                    return true;
                case SpanAssembler::Result::More:
                    return true;
            }
            return false;
        case MessageType::DataFolderReply: {
            const auto folder = DecodeDataFolderReply(frame.payload);
            if (!folder) return false;
            shell_.OpenDataFolder(*folder);
            return true;
        }
        default:
            return false;
    }
}

void ViewLink::TakeLayout(LayoutMessage m) {
    ApplyLayout(m, f_);
    LoadPictures(f_);
    layout_ = std::move(m);
    shell_.ShowModel();
}

void ViewLink::TakeState(const PublishedState& s) {
    ApplyState(s, f_);
    f_.monitor.g_ErrorMsg = MessageOfCode(s.error_code);
    // The owner's normal tick ends the alarm's raise in every session.
    if (s.status_line == StatusLine::Normal) EndAlarmOpen(f_);
    AfterTick();
}

void ViewLink::TakeWindowOp(const WindowOpMessage& m) {
    switch (m.kind) {
        case WindowOpKind::RestoreMain:
            OpenForAlarm(f_);
            break;
        case WindowOpKind::OpenWarning:
            if (!m.warning_text.empty()) f_.monitor.g_ErrorMsg = m.warning_text;
            f_.sys.windows.ShowErrorWindow();
            break;
        case WindowOpKind::Topmost:
            if (!m.on && f_.opened_by_alarm)
                EndAlarmOpen(f_);
            else
                f_.sys.host.SetTopmost(m.on);
            break;
    }
    shell_.ShowModel();
}

void ViewLink::OwnerGone() {
    MonitorState& m = f_.monitor;
    m.hardware_unreachable = false;
    m.alarm_lasting = false;
    m.g_ErrorCode = 0;
    m.g_Critical = 0;
    m.g_ErrorMsg = kNormalText;
    SetStatusLine(f_, StatusLine::SetupProblem, kStatusBlue, kOwnerGoneText);
    f_.window.Label3.caption.clear();
    for (Control& field : f_.window.TempLabel) field.caption = kNoValue;
    about_ = {};
    span_ = {};
    AfterTick();
}

void ViewLink::AfterTick() {
    for (TickListener* listener : f_.tick_listeners)
        ContainErrors([&] { listener->AfterTick(f_); });
    f_.sys.surfaces.Invalidate();
    shell_.ShowModel();
}

void ViewLink::RequestSpan(std::int64_t begin, std::int64_t end, std::int32_t columns) {
    shell_.Send(Encode(SpanRequest{begin, end, columns}));
}

void ViewLink::RequestDataFolder() { shell_.Send(EncodeDataFolderRequest()); }

void ViewLink::ChangeSettings(const OptionsEdit& edit) { shell_.Send(Encode(edit)); }

std::vector<std::string> ViewLink::AboutDetails() const {
    if (about_.owner.empty()) return {kOwnerGoneText};
    std::vector<std::string> lines = about_.details;
    lines.push_back(kDrivenBy + about_.owner);
    return lines;
}

}  // namespace kelvane::link
