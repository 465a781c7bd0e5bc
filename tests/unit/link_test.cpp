#include <gtest/gtest.h>

#include <string>

#include "app/tray_status.h"
#include "board/board.h"
#include "link/authorisation.h"
#include "link/client_queue.h"
#include "link/framing.h"
#include "link/messages.h"
#include "link/published_state.h"
#include "link/state_publisher.h"
#include "monitor/monitor_cycle.h"
#include "monitor/readout.h"
#include "policy/policy_keys.h"
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
    const auto layout = DecodeLayout(Only(Encode(LayoutMessage{t.f.window, t.f.settings})).payload);
    ASSERT_TRUE(layout);
    ApplyLayout(*layout, t.view.form.window, t.view.form.settings);
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
        every_key.push_back({k, policy::PolicyReading::Kind::Number, 1, ""});
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
}

}  // namespace
}  // namespace kelvane
