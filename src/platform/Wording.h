#pragma once

#include "platform/types/Words.h"

#include <string>

namespace larkspire {

// How this desktop words the German texts of the features, in the user's language.
class Wording {
  public:
    virtual ~Wording() = default;
    // The text as shown here; the German text itself where this desktop has no other, never an empty one.
    virtual std::string shown(const std::string& german) const = 0;
    virtual NumberMarks numberMarks() const = 0;  // the decimal and grouping marks of the shown language
};

// The German texts word for word, as the features write them.
class SourceWording final : public Wording {
  public:
    std::string shown(const std::string& german) const override { return german; }
    NumberMarks numberMarks() const override { return {}; }
};

// Marks a German text in a table, which the desktop words when it is shown (for the translation tools).
constexpr const char* sourceText(const char* german) {
    return german;
}

// For pieces that are drawn without a desktop, such as a face in a test.
const Wording& sourceWording();

}  // namespace larkspire
