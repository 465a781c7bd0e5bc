#include "link/owner_desk.h"

#include "history/civil_time.h"
#include "link/messages.h"
#include "options/apply_edit.h"

namespace kelvane::link {

bool RequestQueue::Put(ViewRequest r) {
    const std::lock_guard lock(mutex_);
    if (waiting_.size() >= kMaxWaiting) return false;
    waiting_.push_back(std::move(r));
    return true;
}

std::vector<ViewRequest> RequestQueue::TakeAll() {
    std::vector<ViewRequest> taken;
    const std::lock_guard lock(mutex_);
    taken.swap(waiting_);
    return taken;
}

std::string OwnerDesk::Answer(const ViewRequest& r) {
    switch (static_cast<MessageType>(r.type)) {
        case MessageType::SettingsChangeRequest:
            return AnswerSettingsChange(r);
        case MessageType::SpanRequest:
            return AnswerSpan(r);
        case MessageType::DataFolderRequest:
            return EncodeDataFolderReply(history_.folder().root);
        default:
            return {};
    }
}

std::string OwnerDesk::AnswerSettingsChange(const ViewRequest& r) {
    // Decided before the payload is even read: a refused change writes nothing.
    const SettingsDecision decision = DecideSettingsChange(r.token);
    if (decision != SettingsDecision::Allowed)
        return Encode(SettingsAnswer{false, RefusalText(decision)});
    const auto change = DecodeSettingsChange(r.payload);
    if (!change) return {};
    const std::string failure = ApplyOptionsEdit(form_, *change);
    return Encode(SettingsAnswer{failure.empty(), failure});
}

std::string OwnerDesk::AnswerSpan(const ViewRequest& r) {
    const auto request = DecodeSpanRequest(r.payload);
    if (!request) return {};
    const std::int64_t begin = request->begin, end = request->end;
    if (end - begin > kMaxSpanSeconds) {
        history::SpanData nothing{begin, end, {}, 0};
        nothing.columns.resize(static_cast<std::size_t>(request->columns));
        return EncodeSpanReply(nothing);
    }
    const std::int64_t now = history_.Now() + 1;
    const int offset = history_.OffsetAt(now);
    return EncodeSpanReply(history::SpanOf(
        history_.ring(), history_.volts(), begin, end, request->columns,
        [&]() -> const std::vector<history::MinuteRow>& {
            return days_.Rows(files_, history_.folder(), history::LocalDay(begin, offset),
                              history::LocalDay(end, offset), history::LocalDay(now, offset));
        }));
}

}  // namespace kelvane::link
