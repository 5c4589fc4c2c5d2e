// Follows the compositor's clipboard through the data-control client, without a window and so without
// focus: prints one line per change with the files, how they are marked, and when it arrived. A line
// "verwerfen" on standard input puts the files back as a copy, as the cut's discard does; end of input
// ends the program.
//
//   change COUNT cut|copy|unmarked TIME PATH…   (tab-separated; TIME in seconds since the epoch)

#include "platform/wayland/DataControlClipboard.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <iostream>
#include <map>
#include <mutex>
#include <string>
#include <thread>

using namespace larkspire;

namespace {

// The main thread's queue: a loop that runs posted work, delayed work when due.
class LoopQueue : public MainQueue {
  public:
    void post(std::function<void()> work) override { postFromAnyThread(std::move(work)); }
    TaskToken postAfter(double seconds, std::function<void()> work) override {
        auto cancelled = std::make_shared<std::atomic<bool>>(false);
        std::lock_guard lock(mutex);
        delayed.emplace(Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                           std::chrono::duration<double>(seconds)),
                        [cancelled, work = std::move(work)] {
                            if (!*cancelled) work();
                        });
        ready.notify_one();
        return TaskToken(cancelled);
    }
    RepeatingTimer scheduleRepeating(double interval, std::function<void()> work) override {
        auto cancelled = std::make_shared<std::atomic<bool>>(false);
        repeat(interval, std::make_shared<std::function<void()>>(std::move(work)), cancelled);
        return RepeatingTimer(cancelled);
    }
    void postFromAnyThread(std::function<void()> work) override {
        std::lock_guard lock(mutex);
        queued.push_back(std::move(work));
        ready.notify_one();
    }
    void quit() {
        post([this] { running = false; });
    }
    void run() {
        while (running) {
            std::function<void()> work;
            {
                std::unique_lock lock(mutex);
                for (;;) {
                    if (!queued.empty()) {
                        work = std::move(queued.front());
                        queued.pop_front();
                        break;
                    }
                    if (!delayed.empty() && delayed.begin()->first <= Clock::now()) {
                        work = std::move(delayed.begin()->second);
                        delayed.erase(delayed.begin());
                        break;
                    }
                    if (delayed.empty())
                        ready.wait(lock);
                    else
                        ready.wait_until(lock, delayed.begin()->first);
                }
            }
            work();
        }
    }

  private:
    using Clock = std::chrono::steady_clock;
    void repeat(double interval, std::shared_ptr<std::function<void()>> work,
                std::shared_ptr<std::atomic<bool>> cancelled) {
        postAfter(interval, [this, interval, work, cancelled] {
            if (*cancelled) return;
            (*work)();
            repeat(interval, work, cancelled);
        });
    }

    std::mutex mutex;
    std::condition_variable ready;
    std::deque<std::function<void()>> queued;
    std::multimap<Clock::time_point, std::function<void()>> delayed;
    bool running = true;
};

class StderrLog : public Log {
  public:
    void write(std::string_view category, LogLevel, std::string_view message) override {
        std::fprintf(stderr, "[%.*s] %.*s\n", static_cast<int>(category.size()), category.data(),
                     static_cast<int>(message.size()), message.data());
    }
};

// Stands in for the toolkit's clipboard once the compositor is gone: it holds nothing.
class EmptyClipboard : public Clipboard {
  public:
    std::int64_t changeCount() const override { return 0; }
    std::optional<std::vector<Url>> fileUrls() const override { return std::vector<Url>{}; }
    std::optional<std::string> filePath(const Url&) const override { return std::nullopt; }
    bool marksNativeCuts() const override { return true; }
    FileOperation fileOperation() const override { return FileOperation::unmarked; }
    bool writeFiles(const std::vector<std::string>&, FileOperation) override { return false; }
    std::shared_ptr<void> observeChanges(std::function<void()>) override { return nullptr; }
};

const char* operationName(FileOperation operation) {
    switch (operation) {
    case FileOperation::cut:
        return "cut";
    case FileOperation::copy:
        return "copy";
    default:
        return "unmarked";
    }
}

std::vector<std::string> paths(const Clipboard& clipboard) {
    std::vector<std::string> found;
    for (const auto& url : clipboard.fileUrls().value_or(std::vector<Url>{}))
        if (auto path = clipboard.filePath(url)) found.push_back(*path);
    return found;
}

}  // namespace

int main() {
    LoopQueue main;
    StderrLog log;
    EmptyClipboard fallback;
    std::string reason;
    auto clipboard = wayland::DataControlClipboard::connect(main, log, fallback, reason);
    if (!clipboard) {
        std::fprintf(stderr, "keine Datensteuerung: %s\n", reason.c_str());
        return 3;
    }
    std::printf("verbunden %s\n", clipboard->protocolName().c_str());
    std::fflush(stdout);

    auto observation = clipboard->observeChanges([&] {
        auto now = std::chrono::system_clock::now().time_since_epoch();
        auto micros = std::chrono::duration_cast<std::chrono::microseconds>(now).count();
        std::printf("change\t%lld\t%s\t%lld.%06lld", static_cast<long long>(clipboard->changeCount()),
                    operationName(clipboard->fileOperation()), static_cast<long long>(micros / 1'000'000),
                    static_cast<long long>(micros % 1'000'000));
        for (const auto& path : paths(*clipboard)) std::printf("\t%s", path.c_str());
        std::printf("\n");
        std::fflush(stdout);
    });

    std::thread input([&main, &clipboard] {
        std::string line;
        while (std::getline(std::cin, line)) {
            if (line != "verwerfen") continue;
            main.postFromAnyThread([&clipboard] {
                auto files = paths(*clipboard);
                bool written = clipboard->writeFiles(files, FileOperation::copy);
                std::printf("%s %zu\n", written ? "zurückgelegt" : "nicht-geschrieben", files.size());
                std::fflush(stdout);
            });
        }
        main.quit();
    });
    main.run();
    input.join();
    return 0;
}
