#pragma once

#include <Qt>

// Mouse buttons and modifier keys as the controls' mouse events report them: buttons 1 left,
// 2 right, 4 middle (a move reports the sum of those held); shift 1, control 2, alt 4.
int buttonCode(Qt::MouseButtons buttons);
int shiftCode(Qt::KeyboardModifiers modifiers);
