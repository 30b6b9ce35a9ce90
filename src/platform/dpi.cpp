#include "platform/dpi.h"

#include "platform/system_function.h"
#include "platform/window_dc.h"

namespace {

using GetDpiForSystemFunction = UINT(WINAPI*)();
using GetDpiForMonitorFunction = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
using GetSystemMetricsForDpiFunction = int(WINAPI*)(int, UINT);
using SystemParametersInfoForDpiFunction = BOOL(WINAPI*)(UINT, UINT, void*, UINT, UINT);

constexpr int kEffectiveDpi = 0;  // MDT_EFFECTIVE_DPI

UINT MonitorDpi(HMONITOR monitor)
{
    static const auto getDpiForMonitor =
        SystemFunction<GetDpiForMonitorFunction>(L"shcore.dll", "GetDpiForMonitor");
    UINT x = 0;
    UINT y = 0;
    if (getDpiForMonitor != nullptr && SUCCEEDED(getDpiForMonitor(monitor, kEffectiveDpi, &x, &y)) &&
        y != 0) {
        return y;
    }
    return SystemDpi();
}

}  // namespace

MonitorDpiFunction g_monitorDpi = &MonitorDpi;

UINT SystemDpi()
{
    static const auto getDpiForSystem =
        SystemFunction<GetDpiForSystemFunction>(L"user32.dll", "GetDpiForSystem");
    if (getDpiForSystem != nullptr) {
        return getDpiForSystem();
    }
    CWindowDC screen(nullptr);
    const int dpi = screen.m_hDC != nullptr ? GetDeviceCaps(screen.m_hDC, LOGPIXELSY) : 0;
    return dpi > 0 ? static_cast<UINT>(dpi) : kDefaultDpi;
}

UINT DpiAtPoint(POINT point)
{
    return g_monitorDpi(MonitorFromPoint(point, MONITOR_DEFAULTTONEAREST));
}

UINT TaskbarDpi()
{
    const HWND taskbar = FindWindowW(L"Shell_TrayWnd", nullptr);
    return g_monitorDpi(taskbar != nullptr ? MonitorFromWindow(taskbar, MONITOR_DEFAULTTOPRIMARY)
                                           : MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY));
}

int SystemMetricForDpi(int index, UINT dpi)
{
    static const auto getSystemMetricsForDpi =
        SystemFunction<GetSystemMetricsForDpiFunction>(L"user32.dll", "GetSystemMetricsForDpi");
    if (getSystemMetricsForDpi != nullptr) {
        return getSystemMetricsForDpi(index, dpi);
    }
    return MulDiv(GetSystemMetrics(index), static_cast<int>(dpi), static_cast<int>(SystemDpi()));
}

bool NonClientMetricsForDpi(NONCLIENTMETRICSW& metrics, UINT dpi)
{
    static const auto systemParametersInfoForDpi =
        SystemFunction<SystemParametersInfoForDpiFunction>(L"user32.dll", "SystemParametersInfoForDpi");
    metrics = NONCLIENTMETRICSW{};
    metrics.cbSize = sizeof metrics;
    if (systemParametersInfoForDpi != nullptr) {
        return systemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, dpi) != FALSE;
    }
    if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
        return false;
    }
    // Only the menu font is used; it is given for the system DPI.
    metrics.lfMenuFont.lfHeight =
        MulDiv(metrics.lfMenuFont.lfHeight, static_cast<int>(dpi), static_cast<int>(SystemDpi()));
    return true;
}
