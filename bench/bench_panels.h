// The panels as at run time, for benchmarks of code that draws on them. The
// benchmark main owns main(), so the first benchmark that needs them brings
// them up, once for the whole executable.
#pragma once

#include <QCoreApplication>
#include <cstdlib>

#include "app/merrivan.h"
#include "platform/platform.h"
#include "ui/merrivan_uir.h"

inline void benchPanelsUp()
{
    if (monitorPanel >= 0 && statisticPanel >= 0)
        return;
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static char name[] = "merrivan_bench";
    static char* argv[] = {name, nullptr};
    InitCVIRTE(0, argv, 0);
    uiInstallPanels();
    registerMerrivanCallbacks();
    monitorPanel = LoadPanel(0, "MERRIVAN.UIR", MONITOR);
    statisticPanel = LoadPanel(0, "MERRIVAN.UIR", STATISTIC);
    if (monitorPanel < 0 || statisticPanel < 0)
        std::abort();
    defaultSensorType();
    defaultValue();
    // Drawn as the user would see them.
    DisplayPanel(monitorPanel);
    DisplayPanel(statisticPanel);
    QCoreApplication::processEvents();
}
