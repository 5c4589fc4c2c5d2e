// The settings file changing under a running store: the input is a series of file versions, split at
// the bytes 00 01. After each version is put in place (in place or by rename) the store reads and
// writes one key. The key it wrote always reads back, and a version that parsed keeps every one of
// its keys through that write.
#include "platform/linux/files/JsonDefaults.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string_view>
#include <unistd.h>

using namespace larkspire;
using namespace larkspire::linux_desktop;

namespace {

struct QuietLog : Log {
    void write(std::string_view, LogLevel, std::string_view) override {}
};

struct FixedClock : Clock {
    double uptime() const override { return 1; }
    double wallTime() const override { return 1'796'000'000.0; }
};

const std::filesystem::path& folder() {
    static std::filesystem::path made = [] {
        std::string pattern = (std::filesystem::temp_directory_path() / "larkspire-fuzz-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) std::abort();
        return std::filesystem::path(pattern);
    }();
    return made;
}

std::string readText(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void put(const std::filesystem::path& file, std::string_view contents, bool byRename) {
    auto target = byRename ? file.string() + ".next" : file.string();
    {
        std::ofstream out(target, std::ios::binary | std::ios::trunc);
        out.write(contents.data(), static_cast<std::streamsize>(contents.size()));
    }
    if (byRename) std::filesystem::rename(target, file);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::error_code ignored;
    std::filesystem::remove_all(folder(), ignored);
    std::filesystem::create_directories(folder());
    auto file = folder() / "settings.json";
    QuietLog log;
    FixedClock clock;
    JsonDefaults store(file, log, clock);

    std::string_view rest(reinterpret_cast<const char*>(data), size);
    for (std::int64_t round = 0; !rest.empty() || round == 0; ++round) {
        auto cut = rest.find(std::string_view("\x00\x01", 2));
        auto version = rest.substr(0, cut);
        rest = cut == std::string_view::npos ? std::string_view() : rest.substr(cut + 2);
        put(file, version, round % 2 == 1);
        auto before = decodeSettings(version);
        store.object("fileName");
        store.set("fuzzKey", Value(round));
        if (store.object("fuzzKey") != Value(round)) std::abort();
        if (!before) continue;
        auto after = decodeSettings(readText(file));
        if (!after) std::abort();
        for (const auto& [key, value] : *before) {
            if (key == "fuzzKey") continue;
            auto kept = after->find(key);
            // Compared as written, since a NaN never equals itself.
            if (kept == after->end() ||
                encodeSettings({{key, kept->second}}) != encodeSettings({{key, value}}))
                std::abort();
        }
    }
    return 0;
}
