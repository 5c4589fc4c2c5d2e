// Writes settings through the real store without end, for the kill test, and checks what a kill left.
//   settings_writer write FILE PROGRESS   sets counters forever; after each finished write it appends
//                                          the counter to PROGRESS, so a checker knows what must be there
//   settings_writer check FILE PROGRESS   exit 0 when FILE parses and holds every finished write
//   settings_writer keys FILE PREFIX N    sets PREFIX0 … PREFIX(N-1), one write each
//   settings_writer count FILE PREFIX N   exit 0 when FILE holds all of them; prints how many it holds
#include "platform/linux/files/JsonDefaults.h"
#include "platform/linux/system/SystemClock.h"
#include "platform/linux/system/SystemLog.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

using namespace larkspire;

namespace {

constexpr int slots = 64;

std::string slotKey(std::int64_t n) {
    return "slot" + std::to_string(n % slots);
}

int write(const std::filesystem::path& file, const std::filesystem::path& progress) {
    linux_desktop::SystemLog log(linux_desktop::SystemLog::Target::stream);
    linux_desktop::SystemClock clock;
    linux_desktop::JsonDefaults store(file, log, clock);
    int progressFd = ::open(progress.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (progressFd < 0) return 2;
    if (!store.object("blob")) store.set("blob", Value(Data{{0x00, 0xFF, 0x10}}));
    if (!store.object("scale")) store.set("scale", Value(1.0));
    for (std::int64_t n = store.integerForKey("counter") + 1;; ++n) {
        store.set("counter", Value(n));
        store.set(slotKey(n), Value(n));
        store.set("cutPaths", Value::stringList({"/tmp/Größe " + std::to_string(n) + ".txt"}));
        // The kernel keeps what write() took even when the process is killed right after.
        auto line = std::to_string(n) + "\n";
        if (::write(progressFd, line.data(), line.size()) != static_cast<ssize_t>(line.size())) return 2;
    }
}

// The writes that finished, newest last; a number without its line feed may not have finished.
std::vector<std::int64_t> finishedWrites(const std::filesystem::path& progress) {
    std::ifstream in(progress);
    std::stringstream all;
    all << in.rdbuf();
    auto text = all.str();
    text.erase(text.rfind('\n') == std::string::npos ? 0 : text.rfind('\n') + 1);
    std::vector<std::int64_t> finished;
    std::istringstream lines(text);
    for (std::int64_t n; lines >> n;) finished.push_back(n);
    return finished;
}

int check(const std::filesystem::path& file, const std::filesystem::path& progress) {
    auto writes = finishedWrites(progress);
    auto finished = writes.empty() ? 0 : writes.back();
    auto fail = [&](const std::string& why) {
        std::cerr << "after write " << finished << ": " << why << "\n";
        return 1;
    };
    // A kill before the first write may leave no folder at all.
    std::error_code noFolder;
    for (std::filesystem::directory_iterator entries(file.parent_path(), noFolder), end;
         !noFolder && entries != end; entries.increment(noFolder)) {
        auto name = entries->path().filename().string();
        if (name.find(".corrupt-") != std::string::npos) return fail("a start found a broken file: " + name);
    }
    if (!std::filesystem::exists(file)) return finished == 0 ? 0 : fail("the file is gone");
    std::ifstream in(file, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    auto json = nlohmann::json::parse(text.str(), nullptr, false);
    if (json.is_discarded() || !json.is_object()) return fail("the file does not parse: " + text.str());
    if (finished == 0) return 0;
    if (!json.value("counter", nlohmann::json()).is_number_integer() ||
        json["counter"].get<std::int64_t>() < finished)
        return fail("counter went back");
    // A write killed half-way leaves a gap in the numbers; only the finished ones must be there.
    for (auto n : writes) {
        auto slot = json.value(slotKey(n), nlohmann::json());
        if (!slot.is_number_integer() || slot.get<std::int64_t>() < n)
            return fail(slotKey(n) + " lost write " + std::to_string(n));
    }
    if (!json["cutPaths"].is_array() || json["cutPaths"].size() != 1 || !json["cutPaths"][0].is_string())
        return fail("cutPaths is not an array of strings");
    if (!json["scale"].is_number_float()) return fail("scale is no longer a double");
    if (json["blob"] != nlohmann::json{{"$data", "AP8Q"}}) return fail("blob is no longer data");
    return 0;
}

int keys(const std::filesystem::path& file, const std::string& prefix, int count) {
    linux_desktop::SystemLog log(linux_desktop::SystemLog::Target::stream);
    linux_desktop::SystemClock clock;
    linux_desktop::JsonDefaults store(file, log, clock);
    for (int n = 0; n < count; ++n) store.set(prefix + std::to_string(n), Value(std::int64_t{n}));
    return 0;
}

int count(const std::filesystem::path& file, const std::string& prefix, int count) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    auto json = nlohmann::json::parse(text.str(), nullptr, false);
    if (json.is_discarded() || !json.is_object()) {
        std::cerr << "the file does not parse\n";
        return 1;
    }
    int held = 0;
    for (int n = 0; n < count; ++n) {
        auto value = json.value(prefix + std::to_string(n), nlohmann::json());
        held += value.is_number_integer() && value.get<int>() == n;
    }
    std::cout << held << "\n";
    return held == count ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    std::string mode = argc > 1 ? argv[1] : "";
    if ((mode == "keys" || mode == "count") && argc == 5) {
        int n = std::atoi(argv[4]);
        return mode == "keys" ? keys(argv[2], argv[3], n) : count(argv[2], argv[3], n);
    }
    if (argc != 4) {
        std::cerr << "usage: settings_writer write|check FILE PROGRESS | keys|count FILE PREFIX N\n";
        return 2;
    }
    try {
        if (mode == "write") return write(argv[2], argv[3]);
        if (mode == "check") return check(argv[2], argv[3]);
    } catch (const std::exception& error) {
        std::cerr << mode << ": " << error.what() << "\n";
        return 2;
    }
    return 2;
}
