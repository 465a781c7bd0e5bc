#include "export/textfile_writer.h"

#include <string_view>

namespace kelvane {
namespace {

// The number of the buffer between the two threads, and what it holds.
constexpr unsigned kNumber = 3;
constexpr unsigned kFresh = 4;  // a text not yet taken
constexpr unsigned kStop = 8;

}  // namespace

// Kept alive by the thread as well, so the thread may outlive a writer that gave up on it.
struct TextFileWriter::Shared {
    explicit Shared(FileReplacer& f) : files(f) {}
    FileReplacer& files;
    struct Text {
        std::string bytes, path;
        std::size_t size = 0;
    };
    std::array<Text, 3> texts;
    std::atomic<unsigned> middle{1};
    std::atomic<bool> writing{false};
    // The thread sleeps on `wake` and the tick's hand-over wakes it; the failures and the end
    // of the thread are read rarely. A plain condition variable rather than the atomic's own
    // wait, which once left the thread asleep after a hand-over in the Windows build.
    mutable std::mutex mutex;
    std::condition_variable wake;
    mutable std::condition_variable written;
    WriteFailures failures;
    bool finished = false;
};

TextFileWriter::TextFileWriter(FileReplacer& files)
    : shared_(std::make_shared<Shared>(files)), thread_(Run, shared_) {}

TextFileWriter::~TextFileWriter() {
    shared_->middle.fetch_or(kStop);
    std::unique_lock lock(shared_->mutex);
    shared_->wake.notify_one();
    if (shared_->written.wait_for(lock, std::chrono::seconds(2),
                                  [&] { return shared_->finished; })) {
        lock.unlock();
        thread_.join();
    } else {
        thread_.detach();
    }
}

std::string& TextFileWriter::Buffer() { return shared_->texts[back_].bytes; }

void TextFileWriter::HandOver(const std::string& path, std::size_t size) {
    Shared::Text& text = shared_->texts[back_];
    text.size = size;
    if (text.path != path) text.path = path;
    back_ = shared_->middle.exchange(back_ | kFresh) & kNumber;
    // Taken so that the thread is either before its check of `middle` or asleep.
    { std::lock_guard lock(shared_->mutex); }
    shared_->wake.notify_one();
}

WriteFailures TextFileWriter::failures() const {
    std::lock_guard lock(shared_->mutex);
    return shared_->failures;
}

bool TextFileWriter::WaitIdle(std::chrono::milliseconds limit) const {
    std::unique_lock lock(shared_->mutex);
    return shared_->written.wait_for(
        lock, limit, [&] { return !shared_->writing && !(shared_->middle & kFresh); });
}

void TextFileWriter::Run(std::shared_ptr<Shared> s) {
    unsigned front = 2;  // the thread's buffer
    for (;;) {
        {
            std::unique_lock lock(s->mutex);
            s->wake.wait(lock, [&] { return (s->middle.load() & (kFresh | kStop)) != 0; });
        }
        if (s->middle.load() & kStop) break;
        s->writing = true;  // before the take, so that WaitIdle never sees neither
        front = s->middle.exchange(front) & kNumber;
        const Shared::Text& text = s->texts[front];
        bool ok = false;
        try {
            ok = s->files.Replace(text.path, std::string_view(text.bytes.data(), text.size));
        } catch (...) {
            // Counted like any other failed write.
        }
        std::lock_guard lock(s->mutex);
        s->writing = false;
        s->failures.last_failed = !ok;
        if (!ok) {
            ++s->failures.count;
            s->failures.path = text.path;
        }
        s->written.notify_all();
    }
    std::lock_guard lock(s->mutex);
    s->finished = true;
    s->written.notify_all();
}

}  // namespace kelvane
