#pragma once

#include "platform/ApplicationControl.h"
#include "platform/FolderPicker.h"

namespace larkspire::qt {

class QtFolderPicker : public FolderPicker {
  public:
    explicit QtFolderPicker(ApplicationControl& application) : application(application) {}
    std::vector<Url> chooseFolders(const FolderPickerOptions& options) override;

  private:
    ApplicationControl& application;
};

}  // namespace larkspire::qt
