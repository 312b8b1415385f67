#include "widgets/MessageBeep.h"

#include <QApplication>
#include <atomic>

namespace vcl {

namespace {
std::atomic<int> beeps{0};
}

void MessageBeep(unsigned /*type*/) {
    ++beeps;
    QApplication::beep();
}

int BeepCount() {
    return beeps.load();
}

} // namespace vcl
