#pragma once

#include <QApplication>
#include <cstdlib>

namespace larkspire::bench {

// The one application object of the benchmarks that need Qt, on the offscreen platform; whichever
// benchmark runs first makes it.
inline void needQt() {
    if (QCoreApplication::instance()) return;
    static int argc = 1;
    static char name[] = "larkspire_bench";
    static char* argv[] = {name, nullptr};
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    new QApplication(argc, argv);
}

}  // namespace larkspire::bench
