#pragma once

// Registers the plain painter and the nine skins with TZuBarChartPainterRegistry, in the
// order the preferences list them unsorted. The programs call it once at start-up, before any
// window exists; later calls do nothing.
void RegisterBarChartPainters();
