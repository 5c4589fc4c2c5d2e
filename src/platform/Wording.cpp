#include "platform/Wording.h"

namespace larkspire {

const Wording& sourceWording() {
    static const SourceWording words;
    return words;
}

}  // namespace larkspire
