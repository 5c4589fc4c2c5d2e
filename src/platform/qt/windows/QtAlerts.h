#pragma once

#include "platform/Alerts.h"
#include "platform/ApplicationControl.h"

namespace larkspire::qt {

// Warnings as modal message boxes with one default button.
class QtAlerts : public Alerts {
  public:
    explicit QtAlerts(ApplicationControl& application) : application(application) {}
    void showWarning(const std::string& message, const std::string& informativeText) override;

  private:
    ApplicationControl& application;
};

}  // namespace larkspire::qt
