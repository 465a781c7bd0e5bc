#include "export/textfile_writer.h"

#include <string_view>
#include <utility>

namespace kelvane {

// Kept alive by the thread as well, so the thread may outlive a writer that gave up on it.
struct TextFileWriter::Shared {
    explicit Shared(FileReplacer& f) : files(f) {}
    FileReplacer& files;
    std::mutex mutex;
    std::condition_variable changed;  // a text or the stop for the thread; a write's end
    Text waiting;                     // the newest text, while `fresh`
    bool fresh = false;
    bool writing = false;
    bool stop = false;
    bool finished = false;
    WriteFailures failures;
};

TextFileWriter::TextFileWriter(FileReplacer& files)
    : shared_(std::make_shared<Shared>(files)), thread_(Run, shared_) {}

TextFileWriter::~TextFileWriter() {
    std::unique_lock lock(shared_->mutex);
    shared_->stop = true;
    shared_->changed.notify_all();
    if (shared_->changed.wait_for(lock, std::chrono::seconds(2),
                                  [&] { return shared_->finished; })) {
        lock.unlock();
        thread_.join();
    } else {
        thread_.detach();
    }
}

void TextFileWriter::HandOver(const std::string& path, std::size_t size) {
    text_.size = size;
    if (text_.path != path) text_.path = path;
    {
        std::lock_guard lock(shared_->mutex);
        // The strings trade their storage: nothing is copied, and a dropped text's buffer
        // comes back for the next tick.
        std::swap(text_, shared_->waiting);
        shared_->fresh = true;
    }
    shared_->changed.notify_all();
}

WriteFailures TextFileWriter::failures() const {
    std::lock_guard lock(shared_->mutex);
    return shared_->failures;
}

bool TextFileWriter::WaitIdle(std::chrono::milliseconds limit) const {
    std::unique_lock lock(shared_->mutex);
    return shared_->changed.wait_for(lock, limit,
                                     [&] { return !shared_->writing && !shared_->fresh; });
}

void TextFileWriter::Run(std::shared_ptr<Shared> s) {
    Text text;  // the thread's
    std::unique_lock lock(s->mutex);
    for (;;) {
        s->changed.wait(lock, [&] { return s->fresh || s->stop; });
        if (s->stop) break;
        std::swap(text, s->waiting);
        s->fresh = false;
        s->writing = true;
        // Never held across the replace: the tick must hand over while a write hangs.
        lock.unlock();
        bool ok = false;
        try {
            ok = s->files.Replace(text.path, std::string_view(text.bytes.data(), text.size));
        } catch (...) {
            // Counted like any other failed write.
        }
        lock.lock();
        s->writing = false;
        s->failures.last_failed = !ok;
        if (!ok) {
            ++s->failures.count;
            s->failures.path = text.path;
        }
        s->changed.notify_all();
    }
    s->finished = true;
    s->changed.notify_all();
}

}  // namespace kelvane
