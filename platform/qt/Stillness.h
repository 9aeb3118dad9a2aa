#pragma once

#include <QPoint>

#include <cstdint>
#include <optional>

// Decides, look by look, when a timer that follows the pointer may rest (RestGate). It rests
// once the pointer has lain still for a whole interval: two looks one interval apart found it
// at the same spot. The look that a wake brings never counts as the first of those two, since
// it may well find the pointer where the gate rested.
//
// A rest that a wake ends within shortRestMs was hardly worth its cost: resting and waking
// take more requests and wake-ups than a look does. Device reports come as often as a
// thousand times a second also when they do not move the pointer (a mouse pushing it into a
// screen corner, a program that holds it grabbed and warps it back), and a gate that rested
// at every still interval would wake at nearly every report. So after a short rest the gate
// needs patientIntervals of stillness before it rests again, twice as many after each further
// short rest up to mostPatientIntervals, and costs what a plain poll does meanwhile.
class Stillness {
public:
    static constexpr int patientIntervals = 20;
    static constexpr int mostPatientIntervals = 160;
    static constexpr std::int64_t shortRestMs = 1000;

    // The timer starts afresh (started, or started again after a drag).
    void reset();
    // A tick that did not look at the pointer: the next look starts counting anew.
    void forget();
    // The gate rests, or the watch woke it; `now` in milliseconds of a monotonic clock.
    void rested(std::int64_t now) { restedSince = now; }
    void woke(std::int64_t now);
    // A tick found the pointer at `cursor` (screen pixels). True when the gate may rest now.
    bool look(QPoint cursor);

private:
    std::optional<QPoint> last;
    std::optional<std::int64_t> restedSince;
    int stillIntervals = 0;
    // Still intervals needed before the next rest.
    int needed = 1;
};
