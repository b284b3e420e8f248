#pragma once

#include "window/widget_state.h"

#include <QPushButton>

#include <vector>

// What the indicator buttons show. Link alarmcfg_ui to use it.

inline bool isGreen(const QPushButton *button)
{
    return alarmcfg::indicatorColor(button) == QColor(alarmcfg::indicatorGreen);
}

// Bit n set when indicator n shows green.
inline int greenMask(const std::vector<QPushButton *> &buttons)
{
    int mask = 0;
    for (int n = 0; n < int(buttons.size()); ++n)
        mask |= isGreen(buttons[n]) ? 1 << n : 0;
    return mask;
}
