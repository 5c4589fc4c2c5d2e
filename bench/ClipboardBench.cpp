// What reading a native cut costs: parsing what a file manager offers, the whole road from a changed
// clipboard to the announced cut list, and what a huge cut costs while it stays, for a usual
// selection and a huge one. On an X display (as under xvfb-run) the real program also meets a real
// clipboard owner: one that offers 200,000 files, and one that stops answering.
#include "ProcessFigures.h"
#include "app/Settings.h"
#include "cutpaste/CutPasteMonitor.h"
#include "platform/linux/clipboard/ClipboardFiles.h"
#include "platform/sim/Desktop.h"

#include <benchmark/benchmark.h>
#include <string>
#include <vector>

using namespace larkspire;

namespace {

// The first exists, so the cut is not taken for one that was pasted already. With `existingLast`
// only the last in sorted order exists, as a hostile owner would arrange it: every check that runs
// until the first file still there then looks at all of them.
std::vector<std::string> manyPaths(std::int64_t count, bool existingLast = false) {
    std::vector<std::string> paths;
    if (!existingLast) paths.push_back("/");
    for (auto i = static_cast<std::int64_t>(paths.size()); i < count - (existingLast ? 1 : 0); ++i)
        paths.push_back("/tmp/Ordner mit Leerzeichen/Datei " + std::to_string(i));
    if (existingLast) paths.push_back("/usr");
    return paths;
}

void ClipboardParseGnomeCut(benchmark::State& state) {
    auto content = clipboardContentFor(manyPaths(state.range(0)), FileOperation::cut);
    content.mateCopiedFiles.reset();
    for (auto _ : state) benchmark::DoNotOptimize(parseClipboardFiles(content));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(ClipboardParseGnomeCut)->Arg(30)->Arg(100000)->Arg(200000)->Unit(benchmark::kMillisecond);

struct NativeCutDesktop {
    NativeCutDesktop() {
        desktop.clipboard.nativeCuts = true;
        desktop.defaults.registerDefaults(Settings::registeredDefaults());
        monitor->update();
    }
    sim::Desktop desktop;
    NotificationCenter notifications;
    std::shared_ptr<CutPasteMonitor> monitor =
        std::make_shared<CutPasteMonitor>(desktop.ports(), notifications);
};

// From the changed clipboard to the cut list set, announced and stored (in the simulated desktop's
// in-memory store, so the settings file is not part of it). Arguments: files, only the last exists.
// The CPU time is the main thread's; what the wall time has beyond it runs in the background.
void ClipboardNativeCutRead(benchmark::State& state) {
    NativeCutDesktop cut;
    auto& desktop = cut.desktop;
    auto paths = manyPaths(state.range(0), state.range(1) != 0);
    for (auto _ : state) {
        state.PauseTiming();
        desktop.clipboard.writeText("");
        desktop.advance(CutPasteMonitor::clipboardSettle);
        desktop.clipboard.writeFiles(paths, FileOperation::cut);
        state.ResumeTiming();
        desktop.advance(CutPasteMonitor::clipboardSettle);
        state.PauseTiming();
        desktop.work.join();  // the simulated work queue keeps its threads until joined
        state.ResumeTiming();
    }
    auto line = "Ausgeschnitten: " + std::to_string(paths.size()) + " Datei(en)";
    if (desktop.log.count("cut", line) != static_cast<int>(state.iterations()))
        state.SkipWithError("the cut was not read every time");
}
BENCHMARK(ClipboardNativeCutRead)
    ->Args({30, 0})
    ->Args({100000, 0})
    ->Args({200000, 1})
    ->Unit(benchmark::kMillisecond);

// A cut of 200,000 files, only the last of which exists, while it stays on the clipboard: each
// iteration is half a second of the watch for a paste that moved them.
void ClipboardHugeCutStanding(benchmark::State& state) {
    NativeCutDesktop cut;
    auto& desktop = cut.desktop;
    auto paths = manyPaths(state.range(0), true);
    desktop.clipboard.writeFiles(paths, FileOperation::cut);
    desktop.advance(1.0);
    if (cut.monitor->cutPaths().size() != paths.size()) {
        state.SkipWithError("the cut was not read");
        return;
    }
    for (auto _ : state) desktop.advance(CutPasteMonitor::pasteboardInterval);
}
BENCHMARK(ClipboardHugeCutStanding)->Arg(200000)->Unit(benchmark::kMillisecond);

}  // namespace

#ifdef LARKSPIRE_PROGRAM

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point begin) {
    return std::chrono::duration<double>(Clock::now() - begin).count();
}

std::filesystem::path makeAccount() {
    auto path =
        std::filesystem::temp_directory_path() / ("larkspire-bench-clipboard-" + std::to_string(::getpid()));
    std::filesystem::remove_all(path);
    for (auto folder : {"run", "config", "data/nautilus/scripts", "files/zz", "files/fehlt"})
        std::filesystem::create_directories(path / folder);
    std::filesystem::permissions(path / "run", std::filesystem::perms::owner_all);
    // Entries installed, so start-up opens no window of its own.
    std::ofstream(path / "data/nautilus/scripts/Neue Datei") << "#!/bin/sh\n";
    return path;
}

// A child process whose standard output (and error, for the program) is read through a pipe.
struct Child {
    pid_t pid = -1;
    int output = -1;
    std::string seen;

    bool start(const std::filesystem::path& account, const std::vector<std::string>& arguments) {
        int ends[2];
        if (::pipe(ends) != 0) return false;
        pid = ::fork();
        if (pid == 0) {
            ::dup2(ends[1], STDOUT_FILENO);
            ::dup2(ends[1], STDERR_FILENO);
            ::close(ends[0]);
            ::setenv("QT_QPA_PLATFORM", "xcb", 1);
            ::setenv("XDG_RUNTIME_DIR", (account / "run").c_str(), 1);
            ::setenv("XDG_CONFIG_HOME", (account / "config").c_str(), 1);
            ::setenv("XDG_DATA_HOME", (account / "data").c_str(), 1);
            std::vector<char*> argv;
            for (const auto& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
            argv.push_back(nullptr);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        ::close(ends[1]);
        output = ends[0];
        return pid > 0;
    }
    // Reads what has arrived within `seconds`; true once `text` was seen `times` times.
    bool await(const std::string& text, double seconds, int times = 1) {
        auto begin = Clock::now();
        while (count(text) < times) {
            auto left = std::max(0.0, seconds - secondsSince(begin));
            pollfd ready{.fd = output, .events = POLLIN, .revents = 0};
            if (::poll(&ready, 1, static_cast<int>(left * 1000)) <= 0) {
                if (left <= 0) return false;
                continue;
            }
            char buffer[4096];
            auto n = ::read(output, buffer, sizeof buffer);
            if (n <= 0) return false;
            seen.append(buffer, static_cast<std::size_t>(n));
        }
        return true;
    }
    int count(const std::string& text) const {
        int found = 0;
        for (auto at = seen.find(text); at != std::string::npos; at = seen.find(text, at + 1)) ++found;
        return found;
    }
    double rssMegabytes() const { return larkspire::bench::residentMegabytes(pid); }
    double cpuSeconds() const { return larkspire::bench::cpuSeconds(pid); }
    ~Child() {
        if (pid > 0) {
            ::kill(pid, SIGTERM);
            ::waitpid(pid, nullptr, 0);
        }
        if (output >= 0) ::close(output);
    }
};

std::string owner() {
    return (std::filesystem::path(LARKSPIRE_PROGRAM).parent_path() / "tests/platform/qt/clipboard_owner")
        .string();
}

bool usable(benchmark::State& state) {
    if (!std::getenv("DISPLAY")) {
        state.SkipWithError("no X display (run under xvfb-run)");
        return false;
    }
    if (!std::filesystem::exists(owner())) {
        state.SkipWithError("clipboard_owner not built");
        return false;
    }
    return true;
}

// How long the running program takes to take a request from another start: its main thread serves
// it, so this is how long that thread is busy elsewhere (at most the hand-over's own 5 s).
double probe(const std::filesystem::path& account) {
    auto begin = Clock::now();
    Child chooser;
    chooser.start(account, {LARKSPIRE_PROGRAM, "--choose-menu-item", "Messpunkt"});
    ::waitpid(chooser.pid, nullptr, 0);
    chooser.pid = -1;
    return secondsSince(begin);
}

// Asks the program every 50 ms until `done` holds or `seconds` pass; the longest wait for an answer.
template <class Done> double longestAnswer(const std::filesystem::path& account, double seconds, Done done) {
    double longest = 0;
    auto begin = Clock::now();
    while (!done() && secondsSince(begin) < seconds) {
        longest = std::max(longest, probe(account));
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return longest;
}

// 200,000 files cut, only the last of which exists: the time until the tray shows them, how long the
// main thread kept a request waiting meanwhile, then memory and processor while the cut stays.
void ClipboardHugeCutOnX11(benchmark::State& state) {
    if (!usable(state)) return;
    for (auto _ : state) {
        auto account = makeAccount();
        std::ofstream(account / "files/zz/da");
        std::string marked = "cut", uriList;
        for (int i = 1; i < 200000; ++i) {
            auto url =
                Url::fileUrl((account / "files/fehlt" / ("Datei " + std::to_string(i))).string()).string();
            marked += "\n" + url;
            uriList += url + "\r\n";
        }
        auto last = Url::fileUrl((account / "files/zz/da").string()).string();
        marked += "\n" + last;
        uriList += last + "\r\n";
        std::ofstream(account / "gnome") << marked;
        std::ofstream(account / "uris") << uriList;

        Child program;
        if (!program.start(account, {LARKSPIRE_PROGRAM}) ||
            !program.await("Ausschneiden folgt der Zwischenablage des Dateimanagers", 20)) {
            state.SkipWithError("larkspire did not start on the display");
            return;
        }
        state.counters["idle_rss_MB"] = program.rssMegabytes();
        Child offer;
        offer.start(account, {owner(), "raw", "x-special/gnome-copied-files", (account / "gnome").string(),
                              "text/uri-list", (account / "uris").string()});
        if (!offer.await("angeboten", 20)) {
            state.SkipWithError("the owner did not take the clipboard");
            return;
        }
        auto offered = Clock::now();
        const std::string shown = "Ausgeschnitten: 200000 Datei(en)";
        double longest = longestAnswer(account, 60, [&] { return program.await(shown, 0); });
        if (!program.await(shown, 60)) {
            state.SkipWithError("the cut was not shown");
            return;
        }
        state.counters["to_cut_s"] = secondsSince(offered);
        state.counters["longest_answer_s"] = longest;
        std::this_thread::sleep_for(std::chrono::seconds(2));
        state.counters["rss_MB"] = program.rssMegabytes();
        double before = program.cpuSeconds();
        std::this_thread::sleep_for(std::chrono::seconds(10));
        state.counters["cpu_percent"] = (program.cpuSeconds() - before) / 10.0 * 100.0;
        std::filesystem::remove_all(account);
    }
}
BENCHMARK(ClipboardHugeCutOnX11)->Iterations(1)->Unit(benchmark::kSecond);

// An owner that takes the clipboard, lists its types and then hangs, after a cut of one file: how long
// the main thread kept a request waiting (at most the hand-over's 5 s), the time until the cut was
// dropped, and until the next cut showed.
void ClipboardSilentOwnerOnX11(benchmark::State& state) {
    if (!usable(state)) return;
    for (auto _ : state) {
        auto account = makeAccount();
        auto file = (account / "files/zz/da").string();
        std::ofstream{file};
        Child program;
        if (!program.start(account, {LARKSPIRE_PROGRAM}) ||
            !program.await("Ausschneiden folgt der Zwischenablage des Dateimanagers", 20)) {
            state.SkipWithError("larkspire did not start on the display");
            return;
        }
        {
            Child first;
            first.start(account, {owner(), "offer", "gnome", "cut", file});
            if (!first.await("angeboten", 20) || !program.await("Ausgeschnitten: 1 Datei(en)", 20)) {
                state.SkipWithError("the first cut was not shown");
                return;
            }
            Child silent;
            silent.start(account, {owner(), "hang", "gnome", "cut", file});
            if (!silent.await("angeboten", 20)) {
                state.SkipWithError("the silent owner did not take the clipboard");
                return;
            }
            auto offered = Clock::now();
            const std::string dropped = "Zwischenablage geändert – Ausschneiden verworfen";
            state.counters["longest_answer_s"] =
                longestAnswer(account, 60, [&] { return program.await(dropped, 0); });
            if (!program.await(dropped, 60)) {
                state.SkipWithError("the cut was not dropped");
                return;
            }
            state.counters["to_drop_s"] = secondsSince(offered);
            Child next;
            next.start(account, {owner(), "offer", "gnome", "cut", file});
            if (!next.await("angeboten", 20)) {
                state.SkipWithError("the next owner did not take the clipboard");
                return;
            }
            auto nextOffered = Clock::now();
            if (!program.await("Ausgeschnitten: 1 Datei(en)", 60, 2)) {
                state.SkipWithError("the next cut was not shown");
                return;
            }
            state.counters["to_next_cut_s"] = secondsSince(nextOffered);
        }
        std::filesystem::remove_all(account);
    }
}
BENCHMARK(ClipboardSilentOwnerOnX11)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

#endif
