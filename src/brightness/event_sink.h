// Receives WMI's display-brightness events, on WMI's threads, and hands each batch to a window as
// WM_BRIGHTNESS.
#pragma once

#include <windows.h>

#include <wbemcli.h>

#include <atomic>

// Sent (not posted) to the target window: wParam is the new brightness (0 to 255), lParam 0.
inline constexpr UINT WM_BRIGHTNESS = 0x046D;

class EventSink final : public IWbemObjectSink {
public:
    // `target` is read at every event, so that its owner can clear it before the window goes away;
    // it must outlive every sink. A new sink has no references: the creator takes the first.
    explicit EventSink(const std::atomic<HWND>& target);
    EventSink(const EventSink&) = delete;
    EventSink& operator=(const EventSink&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE Indicate(LONG count, IWbemClassObject** objects) override;
    HRESULT STDMETHODCALLTYPE SetStatus(LONG flags, HRESULT status, BSTR text,
                                        IWbemClassObject* object) override;

private:
    // Only the last Release deletes.
    ~EventSink() = default;

    std::atomic<LONG> m_count{0};
    const std::atomic<HWND>& m_target;
};
