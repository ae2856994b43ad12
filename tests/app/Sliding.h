#pragma once

#include "app/frmMain.h"
#include "ui/PanelAnimation.h"

#include <QTest>
#include <QTimer>

// Runs the panel animation to its end by its own ticks, as the window's timer would.
inline int FinishSliding(kv::frmMain& w) {
    int ticks = 0;
    while (w.tmrAnimate->isActive() && ticks < 1000) {
        w.animation()->Tick();
        ++ticks;
    }
    return ticks;
}

// Loads the window's settings and shows it; false when either fails.
[[nodiscard]] inline bool ShowLoaded(kv::frmMain& w) {
    if (!w.load())
        return false;
    w.show();
    return QTest::qWaitForWindowExposed(&w);
}
