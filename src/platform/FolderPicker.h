#pragma once

#include "platform/types/Url.h"

#include <string>
#include <vector>

namespace larkspire {

struct FolderPickerOptions {
    std::string startFolder;   // an absolute path; the home folder when it does not exist
    std::string confirmTitle;  // the title of the confirm button
};

// A modal panel choosing folders only, several at once.
class FolderPicker {
  public:
    virtual ~FolderPicker() = default;
    // File URLs of the chosen folders in the panel's order; empty when the user cancels.
    virtual std::vector<Url> chooseFolders(const FolderPickerOptions& options) = 0;
};

}  // namespace larkspire
