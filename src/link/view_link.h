#pragma once
// The view's side of the pipe: the owner's frames into the view's own Form1, whose window code
// then shows them as if its own cycle had run, and the view's requests back to the owner.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "history/span.h"
#include "link/framing.h"
#include "link/messages.h"
#include "link/published_state.h"
#include "state/form1.h"

namespace kelvane::link {

inline constexpr const char* kOwnerGoneText = "Kelvane service is not running.";

// What the view's session does for the owner.
class ViewShell {
  public:
    virtual ~ViewShell() = default;
    virtual void Send(std::string frame) = 0;  // to the owner, queued
    // The real windows follow the model: after every state, layout and window operation.
    virtual void ShowModel() = 0;
    virtual void ShowBalloon(const std::string& title, const std::string& text) = 0;
    virtual void SettingsRefused(const std::string& message) = 0;
    virtual void SpanArrived(const history::SpanData& span) = 0;
    virtual void OpenDataFolder(const std::string& folder) = 0;
};

class ViewLink final : public RemoteOwner {
  public:
    ViewLink(Form1& view, ViewShell& shell) : f_(view), shell_(shell) {}

    // One whole frame from the owner. False when it cannot be read: the view lets the
    // connection go, as the owner would let a view go.
    bool Take(const Frame& frame);
    // The pipe broke or is not there. The status line says so in the style of a set-up
    // problem, and nothing of the owner's last state passes for a reading.
    void OwnerGone();
    bool has_layout() const { return layout_.has_value(); }

    void RequestSpan(std::int64_t begin, std::int64_t end, std::int32_t columns);
    void RequestDataFolder();

    // RemoteOwner
    void ChangeSettings(const OptionsEdit& edit) override;
    std::vector<std::string> AboutDetails() const override;

  private:
    void TakeLayout(LayoutMessage m);
    void TakeState(const PublishedState& s);
    void TakeWindowOp(const WindowOpMessage& m);
    void AfterTick();

    Form1& f_;
    ViewShell& shell_;
    std::optional<LayoutMessage> layout_;  // the owner's, for a refused change
    AboutMessage about_;
    SpanAssembler span_;
};

}  // namespace kelvane::link
