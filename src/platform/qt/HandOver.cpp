#include "platform/qt/HandOver.h"

#include <cstdio>

namespace larkspire::qt {

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
    for (const auto& url : urls) request.append(QString::fromStdString(url));
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
