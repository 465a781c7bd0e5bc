#include "link/view_relay.h"

#include "link/messages.h"

namespace kelvane::link {

void ViewRelay::SetTopmost(bool topmost) {
    host_.SetTopmost(topmost);
    Tell(Encode(WindowOpMessage{WindowOpKind::Topmost, topmost, {}, {}}));
}

void ViewRelay::ShowErrorWindow() {
    windows_.ShowErrorWindow();
    const std::string message = form_ != nullptr ? form_->monitor.g_ErrorMsg : std::string();
    Tell(Encode(WindowOpMessage{WindowOpKind::OpenWarning, false, message, {}}));
}

// Only the cycle's Open for an alarm raises the user's windows: it is the restore a view
// must copy, where the main window's other showings are its own user's business.
void ViewRelay::RaiseUsersWindows() {
    windows_.RaiseUsersWindows();
    Tell(Encode(WindowOpMessage{WindowOpKind::RestoreMain, true, {}, {}}));
}

void ViewRelay::PlayWave(const std::string& path) {
    sound_.PlayWave(path);
    Tell(EncodeWaveAlarm(path));
}

void ViewRelay::AfterTick(const Form1& f) {
    if (balloon_.Begins(f)) Tell(Encode(BalloonMessage{kBalloonTitle, f.monitor.g_ErrorMsg}));
}

}  // namespace kelvane::link
