// Arbitrary bytes as a URL request and as a typed file name: nothing may crash or read out of bounds.
#include "app/Settings.h"
#include "platform/types/Url.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

using namespace larkspire;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);

    if (auto url = Url::parse(text)) {
        // A parsed URL must give back exactly the text it came from.
        if (url->string() != text) std::abort();
        (void)url->scheme();
        (void)url->path();
        if (auto host = url->host()) {
            if (host->empty() || !isValidUtf8(*host)) std::abort();
        }
        auto items = url->queryItems();
        std::size_t checked = 0;
        for (const auto& item : items) {
            if (!isValidUtf8(item.name) || item.name.find('\0') != std::string::npos) std::abort();
            if (item.value && (!isValidUtf8(*item.value) || item.value->find('\0') != std::string::npos))
                std::abort();
            // firstValue walks all items again, so only a few are checked to keep each run linear.
            if (++checked > 4) continue;
            auto first = url->firstValue(item.name);
            if (item.value && !first) std::abort();
        }
        (void)url->firstValue("dir");
        (void)url->firstValue("path");
        (void)url->isFileUrl();
    }

    // A file URL built from any path parses back to the same path.
    std::string path = "/" + std::string(text);
    {
        auto file = Url::fileUrl(path);
        if (file.path() != path || !file.isFileUrl()) std::abort();
    }

    if (auto name = Settings::sanitized(std::string(text))) {
        if (name->empty() || *name == "." || *name == ".." || name->find('/') != std::string::npos ||
            name->find(':') != std::string::npos)
            std::abort();
        // Cleaning is idempotent: a cleaned name stays as it is.
        if (Settings::sanitized(*name) != name) std::abort();
    }
    return 0;
}
