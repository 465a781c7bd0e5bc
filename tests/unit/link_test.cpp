#include <gtest/gtest.h>

#include <string>

#include "app/about_details.h"
#include "app/about_dialog.h"
#include "app/startup.h"
#include "app/tray_status.h"
#include "board/board.h"
#include "link/authorisation.h"
#include "link/client_queue.h"
#include "link/framing.h"
#include "link/messages.h"
#include "link/owner_desk.h"
#include "link/published_state.h"
#include "link/state_publisher.h"
#include "link/view_link.h"
#include "link/view_relay.h"
#include "monitor/monitor_cycle.h"
#include "monitor/readout.h"
#include "options/form2.h"
#include "policy/policy_keys.h"
#include "setup/setup_problem.h"
#include "state/status_line.h"
#include "support/fakes.h"

namespace kelvane {
namespace {

using namespace link;

// Every frame of `bytes`, fed in pieces of `piece` bytes.
std::vector<Frame> ReadAll(const std::string& bytes, std::size_t piece, FrameReader& reader) {
    std::vector<Frame> frames;
    for (std::size_t i = 0; i < bytes.size(); i += piece) {
        reader.Feed(std::string_view(bytes).substr(i, piece));
        while (auto f = reader.Next()) frames.push_back(*f);
    }
    return frames;
}

TEST(LinkFraming, FramesSurviveAnySplitAndBadStreamsAreTold) {
    const std::string stream = EncodeFrame(7, "abc") + EncodeFrame(101, "") +
                               EncodeFrame(2, std::string(kMaxFrame - kHeaderBytes, 'x'));
    EXPECT_EQ(stream.substr(0, 8), std::string("\x07\0\0\0\x01\0\x07\0", 8));  // little-endian
    for (std::size_t piece : {std::size_t{1}, std::size_t{3}, std::size_t{4096}, stream.size()}) {
        FrameReader reader;
        const std::vector<Frame> frames = ReadAll(stream, piece, reader);
        ASSERT_EQ(frames.size(), 3u) << piece;
        EXPECT_EQ(frames[0].type, 7);
        EXPECT_EQ(frames[0].payload, "abc");
        EXPECT_EQ(frames[1].type, 101);
        EXPECT_EQ(frames[1].payload, "");
        EXPECT_EQ(frames[2].payload.size(), kMaxFrame - kHeaderBytes);
        EXPECT_EQ(reader.fault(), FrameFault::None);
        EXPECT_EQ(reader.pending(), 0u);
    }
    EXPECT_THROW(EncodeFrame(1, std::string(kMaxFrame - kHeaderBytes + 1, 'x')), std::length_error);

    struct Bad {
        std::string bytes;
        FrameFault fault;
    };
    const Bad bad[] = {
        {std::string("\x03\0\0\0", 4), FrameFault::Malformed},        // shorter than a header
        {std::string("\xFD\xFF\0\0", 4), FrameFault::Oversized},      // one byte too many
        {std::string("\xFF\xFF\xFF\xFF", 4), FrameFault::Oversized},  // told before it arrives
        {std::string("\x04\0\0\0\x02\0\x01\0", 8), FrameFault::OtherVersion},
    };
    for (const Bad& b : bad) {
        FrameReader reader;
        reader.Feed(EncodeFrame(1, "ok"));
        reader.Feed(b.bytes);
        reader.Feed(EncodeFrame(1, "after"));
        EXPECT_EQ(reader.fault(), b.fault);
        EXPECT_FALSE(reader.Next());
        EXPECT_EQ(reader.pending(), 0u);
    }
    // Garbage that never completes a frame holds at most one frame's bytes.
    FrameReader flood;
    flood.Feed(std::string("\xF8\xFF\0\0", 4) + std::string(3 * kMaxFrame, 'g'));
    EXPECT_EQ(flood.fault(), FrameFault::OtherVersion);
    EXPECT_LE(flood.pending(), kMaxFrame);
}

double NoVolts(int, double) { return 0; }

// An owner on the simulated board after some ticks, and a view that never ticks.
struct OwnerAndView {
    board::Board board, view_board;
    testing::Rig owner{board}, view{view_board};
    Form1& f = owner.form;

    OwnerAndView() {
        for (int n = 0; n < 3; ++n) {
            f.window.LedPic[n].tag = f.window.FanLed[n].tag = std::to_string(n);
            f.settings.g_FanCtrl[n].Mode = 1;
            f.settings.g_FanCtrl[n].TmpAlarm = 40;  // channel 1 (42 degrees) is in alert
        }
        f.settings.g_Vin[1] = {330, 1, 1};
        f.window.visible = view.form.window.visible = true;
        InitFanDivisors(f);
        for (int i = 0; i < 8; ++i) Form1_Timer1_Timer(f);
    }
    // The owner's publisher, kept over the ticks as the owner keeps it, frames what a fresh
    // state of the same form frames.
    std::string Published() {
        publisher.AfterTick(f);
        const std::string fresh = EncodeState(StateOf(f));
        EXPECT_EQ(sent, fresh);
        return fresh;
    }
    std::string sent;
    link::StatePublisher publisher{[this](std::string_view frame) { sent = frame; }};
    void Deliver(const std::string& frame) {
        FrameReader reader;
        reader.Feed(frame);
        const auto got = reader.Next();
        ASSERT_TRUE(got);
        ASSERT_EQ(got->type, static_cast<std::uint16_t>(MessageType::State));
        const auto state = DecodeState(got->payload);
        ASSERT_TRUE(state);
        EXPECT_EQ(EncodeState(*state), frame);
        ApplyState(*state, view.form);
    }
};

bool SamePixels(const Surface& a, const Surface& b) {
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (a.GetPixel(x, y) != b.GetPixel(x, y)) return false;
    return true;
}

// The one frame in `bytes`.
Frame Only(const std::string& bytes) {
    FrameReader reader;
    reader.Feed(bytes);
    auto f = reader.Next();
    EXPECT_TRUE(f && !reader.Next() && reader.fault() == FrameFault::None);
    return f ? *f : Frame{};
}

TEST(LinkState, ViewShowsWhatTheOwnerShowsWithinTheSizeBound) {
    OwnerAndView t;
    // The layout first, as on connecting: the view keeps its own place and visibility.
    t.view.form.window.left = 1234;
    t.view.form.window.visible = false;
    t.f.window.KelvaneLabel[0].caption = "Kasse";
    t.f.settings.g_DisplayScale = 1;
    // The chip's register layout travels too: the view's Option dialog shows its points.
    t.f.KelvaneFanFlag = 1;
    t.f.KelvaneFanSpecialFlag = -1;
    const auto layout = DecodeLayout(Only(Encode(LayoutOf(t.f))).payload);
    ASSERT_TRUE(layout);
    ApplyLayout(*layout, t.view.form);
    EXPECT_EQ(t.view.form.KelvaneFanFlag, 1);
    EXPECT_EQ(t.view.form.KelvaneFanSpecialFlag, -1);
    EXPECT_EQ(t.view.form.window.left, 1234);
    EXPECT_FALSE(t.view.form.window.visible);
    EXPECT_EQ(t.view.form.window.KelvaneLabel, t.f.window.KelvaneLabel);
    EXPECT_EQ(t.view.form.settings.g_DisplayScale, 1);
    EXPECT_EQ(t.view.form.settings.g_FanCtrl[2].TmpAlarm, 40);
    t.view.form.window.visible = true;

    // The view's dialog greys what the owner's policy sets.
    const std::size_t s2 = *policy::FindPolicyKey("Fan Ctrl Option 1", "S2");
    t.f.policy = policy::InForce({{s2, policy::PolicyReading::Kind::Number, 60, ""}});
    t.Deliver(t.Published());
    Form1& v = t.view.form;
    EXPECT_TRUE(v.policy.Sets("Fan Ctrl Option 1", "S2"));
    EXPECT_EQ(v.policy.count(), 1u);
    EXPECT_EQ(t.view.windows.calls, std::vector<std::string>{"PolicyChanged 1"});
    t.Deliver(t.Published());  // unchanged: the dialog is not told again
    EXPECT_EQ(t.view.windows.calls.size(), 1u);
    EXPECT_EQ(v.window.Label1.caption, t.f.window.Label1.caption);
    EXPECT_EQ(v.window.Label1.fore_color, t.f.window.Label1.fore_color);
    EXPECT_EQ(v.window.TempLabel, t.f.window.TempLabel);
    EXPECT_EQ(v.monitor.temps, t.f.monitor.temps);
    EXPECT_EQ(v.monitor.fan_speeds, t.f.monitor.fan_speeds);
    EXPECT_EQ(v.monitor.alerts, (std::array<bool, 3>{false, true, false}));
    EXPECT_EQ(v.monitor.volt_in_tolerance, t.f.monitor.volt_in_tolerance);
    for (int n = 0; n < 3; ++n) {
        EXPECT_TRUE(SamePixels(t.view.surfaces.LedPic(n), t.owner.surfaces.LedPic(n))) << n;
        EXPECT_TRUE(SamePixels(t.view.surfaces.FanLed(n), t.owner.surfaces.FanLed(n))) << n;
    }
    const auto state = DecodeState(Only(t.Published()).payload);
    EXPECT_EQ(state->tray_tip, TrayTip(t.f, kTrayTipField));

    // Out of reach: the status says so and the view keeps the digits it drew.
    t.board.set_failing(true);
    Form1_Timer1_Timer(t.f);
    const PixelSurface before = dynamic_cast<PixelSurface&>(t.view.surfaces.LedPic(1));
    t.Deliver(t.Published());
    EXPECT_EQ(v.window.Label1.caption, t.f.window.Label1.caption);
    EXPECT_TRUE(v.monitor.hardware_unreachable);
    EXPECT_TRUE(SamePixels(t.view.surfaces.LedPic(1), before));

    // The longest texts a tick can carry still fit the bound.
    t.f.window.Label1.caption = t.f.window.Label3.caption = std::string(5000, 'L');
    for (Control& c : t.f.window.TempLabel) c.caption = std::string(5000, 'V');
    for (Control& c : t.f.window.KelvaneLabel) c.caption = std::string(5000, 'K');
    t.f.findings.settings_unreadable = true;
    t.f.findings.chip_identified = false;
    t.f.settings.g_IniPath = std::string(5000, 'P');
    std::vector<policy::PolicyReading> every_key;
    for (std::size_t k = 0; k < policy::PolicyKeys().size(); ++k)
        every_key.push_back({k, policy::PolicyReading::Kind::Number,
                             static_cast<std::uint32_t>(policy::PolicyKeys()[k].max), ""});
    t.f.policy = policy::InForce(every_key);
    const PublishedState big = StateOf(t.f);
    EXPECT_EQ(big.policy_keys.size(), policy::PolicyKeys().size() - 1);  // less the text key
    EXPECT_GE(big.setup_problems.size(), 2u);
    EXPECT_LE(EncodeState(big).size(), kMaxStateBytes);
    t.Published();

    // Back to short texts and fewer problems, and each input of the tray tip on its own.
    t.board.set_failing(false);
    t.f.findings.settings_unreadable = false;
    t.f.window.Label1.caption = "Normal";
    for (Control& c : t.f.window.TempLabel) c.caption = "1.00 V";
    Form1_Timer1_Timer(t.f);
    t.Published();
    t.f.window.KelvaneLabel[0].caption = "Kasse";
    t.Published();
    t.f.window.KelvaneLabel[0].caption.clear();  // the heading falls back to "System"
    t.Published();
    t.f.settings.g_DisplayScale = 1;
    t.Published();
    t.f.monitor.volt_checked[2] = true;
    t.f.monitor.volt_in_tolerance[2] = false;
    t.Published();
    t.f.window.KelvaneLabel[5].caption = "VIN2 Kasse";
    t.Published();
    t.f.SystemTemp += 1;
    t.Published();
    t.f.monitor.alarm_lasting = true;
    t.Published();

    // A truncated or stretched state is refused, never half applied.
    const std::string payload = Only(EncodeState(big)).payload;
    EXPECT_FALSE(DecodeState(payload.substr(0, payload.size() - 1)));
    EXPECT_FALSE(DecodeState(payload + "x"));
    std::string unknown_key = payload;
    unknown_key.back() = static_cast<char>(policy::PolicyKeys().size());
    EXPECT_FALSE(DecodeState(unknown_key));
}
// What the view's session was asked to do.
struct RecordingShell : ViewShell {
    std::vector<Frame> sent;
    int shown = 0;
    std::vector<std::string> balloons, refusals, folders;
    std::vector<history::SpanData> spans;
    void Send(std::string frame) override { sent.push_back(Only(frame)); }
    void ShowModel() override { ++shown; }
    void ShowBalloon(const std::string& title, const std::string& text) override {
        balloons.push_back(title + ": " + text);
    }
    void SettingsRefused(const std::string& message) override { refusals.push_back(message); }
    void SpanArrived(const history::SpanData& span) override { spans.push_back(span); }
    void OpenDataFolder(const std::string& folder) override { folders.push_back(folder); }
};

struct QuietDialogs : Form2Host, AboutHost {
    std::vector<std::string> reports;
    void SetTopmost() override {}
    void Close() override {}
    void ReportApplyFailure(const std::string& message) override { reports.push_back(message); }
    void SetTopmost(bool) override {}
    void Unload() override {}
    void CopyToClipboard(const std::string&) override {}
};

TEST(LinkView, ViewFollowsTheOwnerSendsItsChangesAndSaysWhenTheOwnerIsGone) {
    OwnerAndView t;
    Form1& v = t.view.form;
    RecordingShell shell;
    ViewLink view(v, shell);
    v.remote_owner = &view;
    auto take = [&](const std::string& bytes) { return view.Take(Only(bytes)); };

    // The view's own start: the session's steps and the window's shell, never the chip.
    t.view.files.files[kProgTxt] = "C:\\POS\r\n";
    testing::NullShell session;
    EXPECT_TRUE(StartView(v, session).keep_running);
    EXPECT_EQ(t.view.processes.started.size(), 1u);  // GetUser.exe
    EXPECT_TRUE(v.HotKeyShowRegistered && v.window.close_greyed);
    v.window.visible = true;

    // Greeting and a tick: the view shows what the owner shows; a skin picture this process
    // cannot load leaves the design picture.
    t.f.window.Logo.picture = "C:\\gone\\logo.bmp";
    t.f.window.picture = "C:\\skin\\background.jpg";
    t.view.host.loadable_pictures = {t.f.window.picture};
    EXPECT_TRUE(take(Encode(LayoutMessage{t.f.window, t.f.settings})));
    EXPECT_TRUE(view.has_layout());
    EXPECT_EQ(v.window.picture, t.f.window.picture);
    EXPECT_EQ(v.window.Logo.picture, "");
    EXPECT_TRUE(take(Encode(AboutMessage{"this window program", {"Chip: X", "Port: 0x295"}})));
    const int shown = shell.shown;
    EXPECT_TRUE(take(t.Published()));
    EXPECT_GT(shell.shown, shown);
    EXPECT_EQ(v.window.Label1.caption, t.f.window.Label1.caption);
    EXPECT_EQ(v.monitor.temps, t.f.monitor.temps);
    EXPECT_GT(t.view.surfaces.invalidations, 0);
    // The status line's colour travels with every tick, not only with the greeting.
    SetStatusLine(t.f, StatusLine::Fault, kStatusRed, "The CPU fan is out of order.");
    EXPECT_TRUE(take(t.Published()));
    EXPECT_EQ(v.window.Label1.back_color, kStatusRed);
    for (int n = 0; n < 3; ++n)
        EXPECT_TRUE(SamePixels(t.view.surfaces.LedPic(n), t.owner.surfaces.LedPic(n))) << n;
    QuietDialogs dialogs;
    Dialog about(v, dialogs);
    about.Form_Load();
    EXPECT_EQ(about.details, (std::vector<std::string>{"Chip: X", "Port: 0x295",
                                                       "Chip driven by: this window program"}));
    // The owner's own About says that it drives the chip.
    Dialog owner_about(t.f, dialogs);
    owner_about.Form_Load();
    EXPECT_EQ(owner_about.details.back(), "Chip driven by: this window program");
    EXPECT_EQ(owner_about.details.front(), AboutDetails(t.f).front());

    // The owner's window operations, performed in this session.
    v.window.visible = false;
    EXPECT_TRUE(take(Encode(WindowOpMessage{WindowOpKind::RestoreMain, false, "", ""})));
    EXPECT_TRUE(v.window.visible && v.opened_by_alarm);
    EXPECT_EQ(t.view.host.topmost_calls.back(), true);
    EXPECT_TRUE(take(Encode(WindowOpMessage{WindowOpKind::OpenWarning, false, "CPU hot", ""})));
    EXPECT_EQ(t.view.windows.calls.back(), "ShowErrorWindow");
    EXPECT_EQ(v.monitor.g_ErrorMsg, "CPU hot");
    EXPECT_TRUE(take(Encode(WindowOpMessage{WindowOpKind::Topmost, false, "", ""})));
    EXPECT_FALSE(v.opened_by_alarm);
    EXPECT_EQ(t.view.host.topmost_calls.back(), false);
    EXPECT_EQ(t.view.windows.calls.back(), "LowerErrorWindow");
    const std::string wave = "C:\\Program Files\\Kelvane\\alarm.wav";
    EXPECT_TRUE(take(EncodeWaveAlarm(wave)));
    EXPECT_TRUE(take(EncodeWaveAlarm("")));
    EXPECT_EQ(t.view.sound.played, std::vector<std::string>{wave});
    // A balloon only where the window is out of sight.
    EXPECT_TRUE(take(Encode(BalloonMessage{"Kelvane", "fan"})));
    v.window.visible = false;
    EXPECT_TRUE(take(Encode(BalloonMessage{"Kelvane", "fan"})));
    EXPECT_EQ(shell.balloons, std::vector<std::string>{"Kelvane: fan"});

    // The dialog's Apply goes to the owner, not to the chip; a refusal is told and brings the
    // owner's settings back.
    OptionsShared shared;
    Form2 options(v, shared, dialogs);
    options.Form_Load(15360, 11520);
    options.DisplayScaleOpt_Click(1);
    options.ApplyCmdButon_Click();
    EXPECT_TRUE(dialogs.reports.empty());
    EXPECT_FALSE(options.ApplyCmdButon.enabled);
    ASSERT_EQ(shell.sent.size(), 1u);
    EXPECT_EQ(shell.sent[0].type, static_cast<std::uint16_t>(MessageType::SettingsChangeRequest));
    const auto change = DecodeSettingsChange(shell.sent[0].payload);
    ASSERT_TRUE(change);
    EXPECT_EQ(change->display_scale, 1);
    EXPECT_EQ(change->fans[1].TmpAlarm, 40);
    const std::string refused = "Only an administrator can change Kelvane's settings.";
    EXPECT_TRUE(take(Encode(SettingsAnswer{false, refused})));
    EXPECT_EQ(shell.refusals, std::vector<std::string>{refused});
    EXPECT_EQ(v.settings.g_DisplayScale, t.f.settings.g_DisplayScale);
    EXPECT_TRUE(take(Encode(SettingsAnswer{true, ""})));
    EXPECT_EQ(shell.refusals.size(), 1u);

    // History: the span and the data folder are the owner's.
    view.RequestSpan(100, 4200, kMaxSpanColumns);
    view.RequestDataFolder();
    ASSERT_EQ(shell.sent.size(), 3u);
    const auto request = DecodeSpanRequest(shell.sent[1].payload);
    ASSERT_TRUE(request);
    EXPECT_EQ(request->columns, kMaxSpanColumns);
    EXPECT_EQ(shell.sent[2].type, static_cast<std::uint16_t>(MessageType::DataFolderRequest));
    history::SpanData span{100, 4200, std::vector<history::Column>(2048), 0};
    for (history::Column& c : span.columns) c.stat.fill({true, 1, 2, 3});  // many frames
    span.columns[2047].stat[0].mean = 2.5;
    const std::string reply = EncodeSpanReply(span);
    FrameReader replies;
    replies.Feed(reply);
    int frames = 0;
    while (const auto frame = replies.Next()) {
        EXPECT_TRUE(shell.spans.empty());
        EXPECT_TRUE(view.Take(*frame));
        ++frames;
    }
    EXPECT_GT(frames, 1);
    ASSERT_EQ(shell.spans.size(), 1u);
    EXPECT_EQ(shell.spans[0].columns.size(), 2048u);
    EXPECT_EQ(shell.spans[0].columns[2047].stat[0].mean, 2.5);
    EXPECT_TRUE(take(EncodeDataFolderReply("C:\\ProgramData\\Kelvane")));
    EXPECT_EQ(shell.folders, std::vector<std::string>{"C:\\ProgramData\\Kelvane"});

    // What a view never takes: a request's type, a cut payload.
    EXPECT_FALSE(take(EncodeDataFolderRequest()));
    const Frame state = Only(t.Published());
    EXPECT_FALSE(view.Take({state.type, state.payload.substr(1)}));
    EXPECT_FALSE(take(EncodeFrame(77, "")));

    // The owner goes: the status line says so as a set-up problem would, and no voltage passes
    // for a reading.
    view.OwnerGone();
    EXPECT_EQ(v.window.Label1.caption, "Kelvane service is not running.");
    EXPECT_EQ(v.monitor.status_line, StatusLine::SetupProblem);
    EXPECT_EQ(v.window.Label1.back_color, kStatusBlue);
    for (const Control& field : v.window.TempLabel) EXPECT_EQ(field.caption, kNoValue);
    EXPECT_EQ(view.AboutDetails(), std::vector<std::string>{kOwnerGoneText});
    // And back: the next greeting and tick restore the owner's words.
    EXPECT_TRUE(take(t.Published()));
    EXPECT_EQ(v.window.Label1.caption, t.f.window.Label1.caption);

    EXPECT_TRUE(t.view_board.accesses().empty());
}

TEST(LinkMessages, RequestsAndRepliesRoundTripAndRefuseNonsense) {
    SettingsChange change;
    change.fans[1].Mode = 1;
    change.fans[1].S = {1, 2, 3, 4, 5};
    change.vin_percent[8] = 7;
    change.execute_at_startup = 3;
    const auto got = DecodeSettingsChange(Only(Encode(change)).payload);
    ASSERT_TRUE(got);
    Settings s;
    s.g_FanCtrl[1].Caption = "CPU";
    s.g_Address = 0x2E;
    ApplyChange(*got, s);
    EXPECT_EQ(s.g_FanCtrl[1].S[4], 5);
    EXPECT_EQ(s.g_Vin[8].Percent, 7);
    EXPECT_EQ(s.g_ExecuteAtStartup, 3);
    EXPECT_EQ(s.g_FanCtrl[1].Caption, "CPU");  // only what the dialog edits
    EXPECT_EQ(s.g_Address, 0x2E);

    const auto op = DecodeWindowOp(
        Only(Encode(WindowOpMessage{WindowOpKind::OpenWarning, false, "12:00:01: CPU over", ""}))
            .payload);
    ASSERT_TRUE(op);
    EXPECT_EQ(op->kind, WindowOpKind::OpenWarning);
    EXPECT_EQ(op->warning_text, "12:00:01: CPU over");
    EXPECT_FALSE(DecodeWindowOp(std::string("\x09\0\0\0\0\0", 6)));  // no such operation
    const auto answer =
        DecodeSettingsAnswer(Only(Encode(SettingsAnswer{false, kRefusalText})).payload);
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->message, kRefusalText);

    const auto about =
        DecodeAbout(Only(Encode(AboutMessage{"this window program", {"a", "b"}})).payload);
    ASSERT_TRUE(about);
    EXPECT_EQ(about->details, (std::vector<std::string>{"a", "b"}));
    EXPECT_FALSE(DecodeAbout(std::string("\0\0\xFF\xFF\xFF\x7F", 6)));  // a count that lies

    EXPECT_TRUE(DecodeSpanRequest(Only(Encode(SpanRequest{100, 700, 600})).payload));
    EXPECT_FALSE(
        DecodeSpanRequest(Only(Encode(SpanRequest{100, 700, kMaxSpanColumns + 1})).payload));
    EXPECT_FALSE(DecodeSpanRequest(Only(Encode(SpanRequest{700, 700, 10})).payload));

    // What a view may send: its own types, decodable; an owner's type or a bad payload is not.
    const auto request = [](const std::string& frame) {
        const Frame f = Only(frame);
        return IsViewRequest(f.type, f.payload);
    };
    EXPECT_TRUE(request(Encode(change)));
    EXPECT_TRUE(request(Encode(SpanRequest{100, 700, 600})));
    EXPECT_TRUE(request(EncodeDataFolderRequest()));
    EXPECT_FALSE(request(Encode(SpanRequest{700, 700, 10})));
    EXPECT_FALSE(request(EncodeFrame(103, "x")));
    EXPECT_FALSE(request(Encode(AboutMessage{"x", {}})));
    EXPECT_FALSE(request(EncodeFrame(999, "")));

    // A wide span of full columns takes several frames and comes back whole.
    history::SpanData span{1000, 1000 + 31 * 86400, std::vector<history::Column>(kMaxSpanColumns)};
    for (std::size_t c = 0; c < span.columns.size(); ++c) {
        history::Column& col = span.columns[c];
        col.gap = c % 7 == 0;
        col.lasting = c % 5 == 0;
        col.minutes = c % 3 == 0;
        col.limit = {70, static_cast<int>(c)};
        if (!col.gap)
            for (history::Stat& st : col.stat)
                st = {true, 1.5, 2.0 + static_cast<double>(c), 99.25};
    }
    FrameReader reader;
    reader.Feed(EncodeSpanReply(span));
    SpanAssembler assembler;
    int frames = 0;
    SpanAssembler::Result result = SpanAssembler::Result::More;
    while (auto f = reader.Next()) {
        ++frames;
        result = assembler.Take(f->payload);
    }
    EXPECT_GT(frames, 1);
    ASSERT_EQ(result, SpanAssembler::Result::Done);
    ASSERT_EQ(assembler.span().columns.size(), span.columns.size());
    for (std::size_t c = 0; c < span.columns.size(); c += 97) {
        const history::Column &a = span.columns[c], &b = assembler.span().columns[c];
        EXPECT_EQ(b.gap, a.gap);
        EXPECT_EQ(b.lasting, a.lasting);
        EXPECT_EQ(b.minutes, a.minutes);
        EXPECT_EQ(b.limit, a.limit);
        EXPECT_EQ(b.stat[14].present, a.stat[14].present);
        EXPECT_EQ(b.stat[14].mean, a.stat[14].mean);
    }
    // A frame out of order is refused.
    SpanAssembler fresh;
    FrameReader again;
    again.Feed(EncodeSpanReply(span));
    again.Next();
    EXPECT_EQ(fresh.Take(again.Next()->payload), SpanAssembler::Result::Malformed);
}

TEST(LinkClients, QueueDropsAClientThatStopsReading) {
    ClientQueue q;
    const std::string state(3000, 's');
    EXPECT_TRUE(q.Push(state, 0));
    EXPECT_TRUE(q.Push(state, 1000));
    q.Written(2000, 1500);
    EXPECT_EQ(q.Front().size(), 1000u);
    q.Written(1500, 1600);
    EXPECT_EQ(q.Front(), std::string(2500, 's'));
    EXPECT_EQ(q.queued_bytes(), 2500u);
    // Reading again in time keeps it; a pipe that takes nothing for too long does not.
    EXPECT_TRUE(q.Push(state, 1600 + kMaxStallMs));
    EXPECT_FALSE(q.Push(state, 1601 + kMaxStallMs));
    EXPECT_EQ(q.queued_bytes(), 5500u);
    q.Written(5500, 20000);
    EXPECT_TRUE(q.Front().empty());
    EXPECT_TRUE(q.Push(state, 90000));  // an empty queue waited on nobody

    // A burst past the byte bound drops the client before the clock would.
    ClientQueue burst;
    std::size_t pushed = 0;
    while (burst.Push(std::string(kMaxFrame, 'h'), 0)) pushed += kMaxFrame;
    EXPECT_LE(burst.queued_bytes(), kMaxQueuedBytes);
    EXPECT_EQ(burst.queued_bytes(), pushed);
    EXPECT_GT(pushed + kMaxFrame, kMaxQueuedBytes);

    DropCounter dropped;
    dropped.Count(DropReason::NotReading);
    dropped.Count(DropReason::Malformed);
    EXPECT_EQ(dropped.total(), 2u);
}

TEST(LinkClients, OnlyAnEnabledAdministratorChangesSettings) {
    struct Case {
        TokenFacts facts;
        SettingsDecision decision;
    };
    const Case cases[] = {
        {{false, false, false}, SettingsDecision::Refused},              // a cashier
        {{true, false, false}, SettingsDecision::Allowed},               // an administrator, no UAC
        {{true, true, true}, SettingsDecision::Allowed},                 // elevated
        {{false, false, true}, SettingsDecision::RefusedStartElevated},  // filtered token
        {{true, false, true}, SettingsDecision::RefusedStartElevated},   // split, not elevated
        {{false, true, false}, SettingsDecision::Refused},               // elevated, not a member
    };
    for (const Case& c : cases)
        EXPECT_EQ(DecideSettingsChange(c.facts), c.decision)
            << c.facts.administrators_member << c.facts.elevated << c.facts.split_admin;
    EXPECT_EQ(RefusalText(SettingsDecision::Refused),
              "Only an administrator can change Kelvane's settings.");
    const std::string hint = RefusalText(SettingsDecision::RefusedStartElevated);
    EXPECT_EQ(hint.rfind(kRefusalText, 0), 0u);
    EXPECT_NE(hint.find("as administrator"), std::string::npos);
    EXPECT_EQ(RefusalText(SettingsDecision::Allowed), "");

    // The owner answers a change as the decision says: a refused one writes nothing at all.
    OwnerAndView t;
    history::History history{t.owner.files, t.owner.clock, &NoVolts, "D:\\data", 60};
    OwnerDesk desk{t.f, history, t.owner.files};
    std::vector<std::string> layouts;
    StatePublisher publisher{[&](std::string_view frame) {
                                 if (Only(std::string(frame)).type == 2)
                                     layouts.emplace_back(frame);
                             },
                             [](std::string) {}};
    publisher.Start(t.f, "this window program");
    t.f.tick_listeners.push_back(&publisher);
    SettingsChange change = ChangeOf(t.f.settings);
    change.fans[0].Mode = 0;  // automatic: the set points reach the chip
    change.fans[0].S[0] = 33;
    change.display_on_top = 1;
    const std::string ini_before = t.owner.profile.Text();
    const std::uint8_t s0_before = t.board.reg(0x60);
    auto ask = [&](TokenFacts token) {
        const Frame answer =
            Only(desk.Answer({7, static_cast<std::uint16_t>(MessageType::SettingsChangeRequest),
                              Only(Encode(change)).payload, token}));
        EXPECT_EQ(answer.type, static_cast<std::uint16_t>(MessageType::SettingsAnswer));
        return DecodeSettingsAnswer(answer.payload).value_or(SettingsAnswer{true, "undecodable"});
    };
    const SettingsAnswer cashier = ask({false, false, false});
    EXPECT_FALSE(cashier.applied);
    EXPECT_EQ(cashier.message, "Only an administrator can change Kelvane's settings.");
    EXPECT_EQ(ask({true, false, true}).message,
              RefusalText(SettingsDecision::RefusedStartElevated));
    EXPECT_EQ(t.owner.profile.Text(), ini_before);
    EXPECT_EQ(t.board.reg(0x60), s0_before);
    EXPECT_NE(t.f.settings.g_FanCtrl[0].S[0], 33);
    EXPECT_TRUE(t.owner.host.topmost_calls.empty());
    EXPECT_TRUE(layouts.empty());

    // Nor does a value the dialog could never set, even an administrator's.
    change.fans[0].S[0] = 300;
    const SettingsAnswer wild = ask({true, true, true});
    EXPECT_FALSE(wild.applied);
    EXPECT_EQ(wild.message, "Fan Ctrl Option 0\\S0=300 is outside 0..100: nothing was changed.");
    EXPECT_EQ(t.owner.profile.Text(), ini_before);
    EXPECT_EQ(t.board.reg(0x60), s0_before);
    change.fans[0].S[0] = 33;

    const SettingsAnswer admin = ask({true, true, true});
    EXPECT_TRUE(admin.applied) << admin.message;
    EXPECT_EQ(admin.message, "");
    EXPECT_EQ(t.f.settings.g_FanCtrl[0].S[0], 33);
    EXPECT_EQ(t.board.reg(0x60), 33);
    EXPECT_EQ(t.owner.profile.GetString("Fan Ctrl Option 0", "S0", ""), "33");
    EXPECT_EQ(t.owner.profile.GetString("Option", "DisplayOnTop", ""), "1");
    EXPECT_EQ(t.owner.host.topmost_calls, std::vector<bool>{true});
    // The views learn the new settings at once, not only those that connect later.
    ASSERT_EQ(layouts.size(), 1u);
    const auto layout = DecodeLayout(Only(layouts[0]).payload);
    ASSERT_TRUE(layout);
    EXPECT_EQ(layout->settings.g_FanCtrl[0].S[0], 33);
}

TEST(LinkOwner, AnswersSpansAndTheFolderAndTellsViewsWhatItsWindowsDo) {
    OwnerAndView t;
    history::History history{t.owner.files, t.owner.clock, &NoVolts, "D:\\data", 600};
    t.f.tick_listeners.push_back(&history);
    for (int i = 0; i < 30; ++i) {
        ++t.owner.clock.unix_seconds;
        Form1_Timer1_Timer(t.f);
    }
    OwnerDesk desk{t.f, history, t.owner.files};
    const std::int64_t now = t.owner.clock.unix_seconds + 1;
    auto span = [&](std::int64_t begin, std::int64_t end, std::int32_t columns) {
        FrameReader reader;
        reader.Feed(desk.Answer({1,
                                 static_cast<std::uint16_t>(MessageType::SpanRequest),
                                 Only(Encode(SpanRequest{begin, end, columns})).payload,
                                 {}}));
        SpanAssembler assembled;
        SpanAssembler::Result result = SpanAssembler::Result::Malformed;
        while (const auto frame = reader.Next()) result = assembled.Take(frame->payload);
        EXPECT_EQ(result, SpanAssembler::Result::Done);
        return assembled.span();
    };
    auto with_reading = [](const history::SpanData& d) {
        int n = 0;
        for (const history::Column& c : d.columns) n += c.stat[0].present ? 1 : 0;
        return n;
    };
    // What the owner's History window would draw: the last minute, its latter half from the
    // ring's seconds and the rest from the minute row the day file got at the minute's turn.
    const history::SpanData minute = span(now - 60, now, 60);
    EXPECT_EQ(minute.begin, now - 60);
    EXPECT_EQ(minute.columns.size(), 60u);
    EXPECT_EQ(with_reading(minute), 60);
    int from_minutes = 0;
    for (const history::Column& c : minute.columns) from_minutes += c.minutes ? 1 : 0;
    EXPECT_EQ(from_minutes, 30);
    EXPECT_FALSE(minute.columns.back().minutes);
    // A span no window asks for reads no files and shows nothing.
    const history::SpanData years = span(now - 400LL * 86400, now, 2048);
    EXPECT_EQ(years.columns.size(), 2048u);
    EXPECT_EQ(with_reading(years), 0);
    const Frame folder =
        Only(desk.Answer({1, static_cast<std::uint16_t>(MessageType::DataFolderRequest), "", {}}));
    EXPECT_EQ(DecodeDataFolderReply(folder.payload), history.folder().root);
    EXPECT_EQ(desk.Answer({1, static_cast<std::uint16_t>(MessageType::State), "", {}}), "");

    // The pipe's thread hands over only so many requests at once.
    RequestQueue queue;
    std::size_t taken = 0;
    while (queue.Put({taken + 1, 103, "", {}})) ++taken;
    EXPECT_EQ(taken, RequestQueue::kMaxWaiting);
    EXPECT_EQ(queue.TakeAll().size(), taken);
    EXPECT_TRUE(queue.Put({1, 103, "", {}}));

    // What the cycle does to the host's windows and speakers, the host does and the views hear.
    testing::FakeHost host;
    testing::FakeWindows windows;
    testing::FakeSound sound;
    ViewRelay relay{host, windows, sound};
    relay.Watch(t.f);
    std::vector<Frame> told;
    relay.SetTopmost(true);  // before the owner serves: done, told to nobody
    relay.TellViews([&](std::string_view frames) { told.push_back(Only(std::string(frames))); });
    t.f.monitor.g_ErrorMsg = "CPU too hot";
    relay.SetTopmost(false);
    relay.ShowErrorWindow();
    relay.RaiseUsersWindows();
    relay.PlayWave("C:\\K\\alarm.wav");
    relay.ShowOptions();
    EXPECT_EQ(host.topmost_calls, (std::vector<bool>{true, false}));
    EXPECT_EQ(windows.calls,
              (std::vector<std::string>{"ShowErrorWindow", "RaiseUsersWindows", "ShowOptions"}));
    EXPECT_EQ(sound.played, std::vector<std::string>{"C:\\K\\alarm.wav"});
    ASSERT_EQ(told.size(), 4u);
    const auto topmost = DecodeWindowOp(told[0].payload);
    ASSERT_TRUE(topmost);
    EXPECT_EQ(topmost->kind, WindowOpKind::Topmost);
    EXPECT_FALSE(topmost->on);
    const auto warning = DecodeWindowOp(told[1].payload);
    ASSERT_TRUE(warning);
    EXPECT_EQ(warning->kind, WindowOpKind::OpenWarning);
    EXPECT_EQ(warning->warning_text, "CPU too hot");
    EXPECT_EQ(DecodeWindowOp(told[2].payload)->kind, WindowOpKind::RestoreMain);
    EXPECT_EQ(told[3].type, static_cast<std::uint16_t>(MessageType::WaveAlarm));
    EXPECT_EQ(DecodeWaveAlarm(told[3].payload), "C:\\K\\alarm.wav");
    // One balloon for a lasting fault, on its first tick, even while the owner's window shows.
    told.clear();
    t.f.window.visible = true;
    t.f.monitor.alarm_lasting = true;
    relay.AfterTick(t.f);
    relay.AfterTick(t.f);
    t.f.monitor.alarm_lasting = false;
    relay.AfterTick(t.f);
    ASSERT_EQ(told.size(), 1u);
    const auto balloon = DecodeBalloon(told[0].payload);
    ASSERT_TRUE(balloon);
    EXPECT_EQ(balloon->text, "CPU too hot");

    // About goes out again when its details change, for the views there and those to come.
    std::vector<Frame> sent;
    std::string greeting;
    StatePublisher publisher{
        [&](std::string_view frame) { sent.push_back(Only(std::string(frame))); },
        [&](std::string g) { greeting = std::move(g); }};
    const std::string first = publisher.Start(t.f, "Kelvane service, running since now");
    publisher.AfterTick(t.f);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].type, static_cast<std::uint16_t>(MessageType::State));
    EXPECT_EQ(greeting, "");
    t.f.findings.settings_read_to_end = !t.f.findings.settings_read_to_end;
    for (int i = 1; i < StatePublisher::kAboutCheckTicks; ++i) publisher.AfterTick(t.f);
    ASSERT_EQ(sent.size(), static_cast<std::size_t>(StatePublisher::kAboutCheckTicks) + 1);
    sent.erase(sent.begin() + 1, sent.end() - 2);  // the states of the ticks between
    const auto about = DecodeAbout(sent[1].payload);
    ASSERT_TRUE(about);
    EXPECT_EQ(about->owner, "Kelvane service, running since now");
    EXPECT_EQ(about->details, AboutDetails(t.f));
    EXPECT_NE(greeting, first);
    EXPECT_EQ(greeting.substr(greeting.size() - Encode(*about).size()), Encode(*about));
    // Unchanged details are not sent again.
    sent.clear();
    for (int i = 0; i < 2 * StatePublisher::kAboutCheckTicks; ++i) publisher.AfterTick(t.f);
    for (const Frame& frame : sent)
        EXPECT_EQ(frame.type, static_cast<std::uint16_t>(MessageType::State));
}

}  // namespace
}  // namespace kelvane
