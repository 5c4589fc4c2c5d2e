// The Qt program as a user starts it: time until its status icon is set, and what it costs when idle.
#include "ProcessFigures.h"

#include <benchmark/benchmark.h>

#ifdef LARKSPIRE_PROGRAM

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

std::filesystem::path makeAccount(const std::string& name) {
    auto path = std::filesystem::temp_directory_path() /
                ("larkspire-bench-" + name + "-" + std::to_string(::getpid()));
    std::filesystem::create_directories(path / "run");
    std::filesystem::create_directories(path / "config");
    std::filesystem::create_directories(path / "data");
    std::filesystem::permissions(path / "run", std::filesystem::perms::owner_all);
    return path;
}

// One account for every run, so each start after the first is an ordinary second start.
const std::filesystem::path& account() {
    static const std::filesystem::path folder = makeAccount("idle");
    return folder;
}

struct Program {
    std::filesystem::path home = account();
    bool onDisplay = false;  // on the X display in DISPLAY, when there is one
    pid_t pid = -1;
    int log = -1;

    // In a child about to become larkspire: the offscreen platform and this account's folders.
    void useAccount() const {
        bool x11 = onDisplay && std::getenv("DISPLAY");
        ::setenv("QT_QPA_PLATFORM", x11 ? "xcb" : "offscreen", 1);
        ::setenv("XDG_RUNTIME_DIR", (home / "run").c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (home / "config").c_str(), 1);
        if (std::filesystem::exists(home / "data")) ::setenv("XDG_DATA_HOME", (home / "data").c_str(), 1);
    }

    // Starts larkspire offscreen and waits until it reports its status icon; false on a timeout.
    bool start() {
        int pipeEnds[2];
        if (::pipe(pipeEnds) != 0) return false;
        pid = ::fork();
        if (pid == 0) {
            ::dup2(pipeEnds[1], STDERR_FILENO);
            ::close(pipeEnds[0]);
            useAccount();
            ::execl(LARKSPIRE_PROGRAM, LARKSPIRE_PROGRAM, static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(pipeEnds[1]);
        log = pipeEnds[0];
        std::string seen;
        char buffer[512];
        while (seen.find("Statussymbol gesetzt") == std::string::npos) {
            pollfd ready{.fd = log, .events = POLLIN, .revents = 0};
            if (::poll(&ready, 1, 10000) <= 0) return false;
            auto n = ::read(log, buffer, sizeof buffer);
            if (n <= 0) return false;
            seen.append(buffer, static_cast<std::size_t>(n));
        }
        return true;
    }
    // Has the running program choose a menu entry, as a click on it would; true once handed over.
    bool choose(const char* entry) const {
        pid_t chooser = ::fork();
        if (chooser == 0) {
            useAccount();
            ::execl(LARKSPIRE_PROGRAM, LARKSPIRE_PROGRAM, "--choose-menu-item", entry,
                    static_cast<char*>(nullptr));
            ::_exit(127);
        }
        int status = 0;
        ::waitpid(chooser, &status, 0);
        return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }
    ~Program() {
        if (pid > 0) {
            ::kill(pid, SIGTERM);
            ::waitpid(pid, nullptr, 0);
        }
        if (log >= 0) ::close(log);
    }
    double rssMegabytes() const { return larkspire::bench::residentMegabytes(pid); }
    double cpuSeconds() const { return larkspire::bench::cpuSeconds(pid); }
};

void StartToStatusIcon(benchmark::State& state) {
    for (auto _ : state) {
        auto begin = std::chrono::steady_clock::now();
        Program program;
        if (!program.start()) {
            state.SkipWithError("larkspire did not report its status icon");
            return;
        }
        state.SetIterationTime(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count());
    }
}
BENCHMARK(StartToStatusIcon)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

// Resident memory after 10 s of idling and processor share over the following 60 s.
void IdleFootprint(benchmark::State& state) {
    for (auto _ : state) {
        Program program;
        if (!program.start()) {
            state.SkipWithError("larkspire did not report its status icon");
            return;
        }
        std::this_thread::sleep_for(std::chrono::seconds(10));
        state.counters["rss_MB"] = program.rssMegabytes();
        double before = program.cpuSeconds();
        std::this_thread::sleep_for(std::chrono::seconds(60));
        state.counters["idle_cpu_percent"] = (program.cpuSeconds() - before) / 60.0 * 100.0;
    }
}
BENCHMARK(IdleFootprint)->Iterations(1)->Unit(benchmark::kSecond);

// Processor share over 60 s while the settings window stays open on the Scroll tab, whose game-mode
// and permission polling is all that runs.
void ScrollTabOpenFootprint(benchmark::State& state) {
    static const auto home = [] {
        auto path = makeAccount("scroll-tab");
        // Entries installed, so start-up opens no window of its own; the tab last shown is "Scrollen".
        std::filesystem::create_directories(path / "data/nautilus/scripts");
        std::ofstream(path / "data/nautilus/scripts/Neue Datei") << "#!/bin/sh\n";
        std::filesystem::create_directories(path / "config/larkspire");
        std::ofstream(path / "config/larkspire/settings.json") << R"({"settingsSelectedTab": 4})";
        return path;
    }();
    for (auto _ : state) {
        Program program;
        program.home = home;
        if (!program.start() || !program.choose("Einstellungen…")) {
            state.SkipWithError("larkspire did not start or did not open its settings");
            return;
        }
        std::this_thread::sleep_for(std::chrono::seconds(5));
        double before = program.cpuSeconds();
        std::this_thread::sleep_for(std::chrono::seconds(60));
        state.counters["scroll_tab_cpu_percent"] = (program.cpuSeconds() - before) / 60.0 * 100.0;
    }
}
BENCHMARK(ScrollTabOpenFootprint)->Iterations(1)->Unit(benchmark::kSecond);

// Both desktop widgets on: resident memory after 10 s and processor share over the following 60 s,
// on the X display when there is one (as under xvfb-run), otherwise offscreen.
void WidgetsFootprint(benchmark::State& state) {
    static const auto home = [] {
        auto path = makeAccount("widgets");
        std::filesystem::create_directories(path / "data/nautilus/scripts");
        std::ofstream(path / "data/nautilus/scripts/Neue Datei") << "#!/bin/sh\n";
        std::filesystem::create_directories(path / "config/larkspire");
        std::ofstream(path / "config/larkspire/settings.json")
            << R"({"systemMonitor": true, "clockWidget": true})";
        return path;
    }();
    for (auto _ : state) {
        Program program;
        program.home = home;
        program.onDisplay = true;
        if (!program.start()) {
            state.SkipWithError("larkspire did not report its status icon");
            return;
        }
        std::this_thread::sleep_for(std::chrono::seconds(10));
        state.counters["widgets_rss_MB"] = program.rssMegabytes();
        double before = program.cpuSeconds();
        std::this_thread::sleep_for(std::chrono::seconds(60));
        state.counters["widgets_cpu_percent"] = (program.cpuSeconds() - before) / 60.0 * 100.0;
    }
}
BENCHMARK(WidgetsFootprint)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

#endif
