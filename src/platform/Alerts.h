#pragma once

#include <string>

namespace larkspire {

// Modal messages for actions the user asked for.
class Alerts {
  public:
    virtual ~Alerts() = default;
    // Brings the application to the front, then shows a warning with one default button until dismissed.
    virtual void showWarning(const std::string& message, const std::string& informativeText) = 0;
};

}  // namespace larkspire
