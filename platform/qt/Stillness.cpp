#include "platform/qt/Stillness.h"

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
    needed = restedSince && now - *restedSince < shortRestMs ? patientIntervals : 1;
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
