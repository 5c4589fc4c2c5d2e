#pragma once

#include <functional>
#include <string>
#include <vector>

namespace larkspire::linux_desktop {

// What GIO asks while mounting a share the user opened: either credentials or one of `choices`.
struct MountQuestion {
    std::string message;
    std::vector<std::string> choices;  // empty for a credentials question
    std::string user, domain;          // GIO's suggestions
    bool needsUser = false, needsDomain = false, needsPassword = false;
    bool offersSaving = false;  // GIO can keep the password in the desktop's keyring
};

enum class PasswordSaving { never, forSession, permanently };

// The user's answer; `handled` false means they cancelled.
struct MountAnswer {
    bool handled = false;
    std::string user, domain, password;
    PasswordSaving saving = PasswordSaving::never;
    int choice = 0;
};

// Asks the user, on the main thread, and calls the reply exactly once, now or later.
using MountQuestions =
    std::function<void(const MountQuestion&, std::function<void(const MountAnswer&)> reply)>;

// Lets `questions` answer every question of `mountOperation` (a GMountOperation*); without it,
// every question is answered by giving up, so that nothing is ever shown.
void answerMountQuestions(void* mountOperation, MountQuestions questions);

}  // namespace larkspire::linux_desktop
