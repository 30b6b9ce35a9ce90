// The DPI the program draws for. Windows 10 1607 and later tell it per window and per monitor; the
// functions for that are looked up at run time, so that the program still starts on older systems,
// where everything falls back to the system DPI.
#pragma once

#include <windows.h>

inline constexpr UINT kDefaultDpi = 96;

// The DPI that the system's metrics are given for (the primary monitor's at sign-in).
UINT SystemDpi();
// The DPI a monitor is scaled for, as the system tells it (GetDpiForMonitor, where there is one). Tests
// replace it: Wine has one DPI for every monitor.
using MonitorDpiFunction = UINT (*)(HMONITOR monitor);
extern MonitorDpiFunction g_monitorDpi;

// The DPI of the monitor nearest to a point of the screen.
UINT DpiAtPoint(POINT point);
// The DPI of the monitor that shows the taskbar, and with it the notification area; the primary
// monitor's when there is no taskbar.
UINT TaskbarDpi();
// GetSystemMetrics for a DPI: without GetSystemMetricsForDpi, the system DPI's value scaled.
int SystemMetricForDpi(int index, UINT dpi);
// The non-client metrics (fonts included) for a DPI; false when they cannot be read.
bool NonClientMetricsForDpi(NONCLIENTMETRICSW& metrics, UINT dpi);
