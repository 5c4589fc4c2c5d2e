// Creates COUNT new files in FOLDER the way a new-file request does, signs each with MARK and prints
// its path; a file that another process also thinks it created shows up twice or carries two marks.
#include "newfile/FileCreator.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <unistd.h>

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: create_new_files FOLDER COUNT MARK\n");
        return 2;
    }
    std::string folder = argv[1];
    int count = std::atoi(argv[2]);
    std::string mark = std::string(argv[3]) + "\n";
    for (int i = 0; i < count; ++i) {
        auto result = larkspire::FileCreator::create(folder, "Neu.txt");
        if (!result.succeeded()) {
            std::fprintf(stderr, "create failed: %s\n", std::strerror(result.error));
            return 1;
        }
        int descriptor = ::open(result.path.c_str(), O_WRONLY | O_APPEND);
        if (descriptor < 0 ||
            ::write(descriptor, mark.data(), mark.size()) != static_cast<ssize_t>(mark.size())) {
            std::fprintf(stderr, "cannot sign %s\n", result.path.c_str());
            return 1;
        }
        ::close(descriptor);
        std::printf("%s\n", result.path.c_str());
    }
    return 0;
}
