#include "platform/qt/Stillness.h"

#include <algorithm>

void Stillness::reset() {
    forget();
    restedSince.reset();
    needed = 1;
}

void Stillness::forget() {
    last.reset();
    stillIntervals = 0;
}

void Stillness::woke(std::int64_t now) {
    forget();
    if (!restedSince || now - *restedSince >= shortRestMs)
        needed = 1;
    else if (needed == 1)
        needed = patientIntervals;
    else
        needed = std::min(2 * needed, mostPatientIntervals);
    restedSince.reset();
}

bool Stillness::look(QPoint cursor) {
    if (last != cursor) {
        last = cursor;
        stillIntervals = 0;
        return false;
    }
    return ++stillIntervals >= needed;
}
