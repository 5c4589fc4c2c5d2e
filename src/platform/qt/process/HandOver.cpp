#include "platform/qt/process/HandOver.h"

#include "platform/types/Url.h"

#include <cstdio>

namespace larkspire::qt {

namespace {

// The request travels as UTF-8. A URL with other bytes (a folder name in Latin-1) goes with those
// bytes percent-encoded, which means the same once decoded.
QString asUtf8(const std::string& url) {
    if (isValidUtf8(url)) return QString::fromStdString(url);
    constexpr char digits[] = "0123456789ABCDEF";
    std::string escaped;
    for (char c : url) {
        auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            escaped.push_back(c);
        } else {
            escaped += {'%', digits[byte >> 4], digits[byte & 0xF]};
        }
    }
    return QString::fromStdString(escaped);
}

}  // namespace

std::optional<int> handOverBeforeGui(SingleInstance& instance, const std::string& chooseMenuItem,
                                     const std::vector<std::string>& urls) {
    if (!chooseMenuItem.empty()) {
        if (instance.forward({"choose", QString::fromStdString(chooseMenuItem)}) ==
            SingleInstance::Delivery::delivered)
            return 0;
        std::fprintf(stderr, "Larkspire läuft nicht oder antwortet nicht.\n");
        return 1;
    }
    QStringList request{urls.empty() ? "reopen" : "open"};
    for (const auto& url : urls) request.append(asUtf8(url));
    switch (instance.claimOrForward(request)) {
    case SingleInstance::Claim::forwarded:
        return 0;
    case SingleInstance::Claim::noAnswer:
        std::fprintf(stderr, "Larkspire läuft bereits, antwortet aber nicht.\n");
        return 1;
    case SingleInstance::Claim::primary:
        break;
    }
    return std::nullopt;
}

}  // namespace larkspire::qt
