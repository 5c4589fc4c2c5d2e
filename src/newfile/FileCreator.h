#pragma once

#include <string>

namespace larkspire::FileCreator {

// The outcome of a creation: the new file's path, or the POSIX error that stopped it.
struct Result {
    std::string path;  // empty on failure
    int error = 0;     // 0 on success
    bool succeeded() const { return error == 0; }
};

inline constexpr int maximumAttempts = 10000;

// The name for attempt `index`: "Neu.txt", then "Neu (1).txt", "Neu (2).txt", …
std::string candidateName(const std::string& name, int index);

// Creates an empty file under the first free candidate name in `directory`, never overwriting one.
Result create(const std::string& directory, const std::string& name);

}  // namespace larkspire::FileCreator
