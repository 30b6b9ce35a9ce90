#include "brightness/event_sink.h"

#include <cstring>

#include "brightness/com_runtime.h"
#include "brightness/wmi_identifiers.h"
#include "platform/trace.h"

EventSink::EventSink(const std::atomic<HWND>& target) : m_target(target)
{
    // Made after the watcher loaded COM's calls, or by a test that did not: the variant is cleared
    // through them.
    g_comRuntime.Load();
}

namespace {

static_assert(sizeof(GUID) == 16);

bool SameId(REFIID a, const GUID& b)
{
    return std::memcmp(&a, &b, sizeof(GUID)) == 0;
}

}  // namespace

HRESULT EventSink::QueryInterface(REFIID iid, void** object)
{
    if (object == nullptr) {
        return E_POINTER;
    }
    if (SameId(iid, wmi::IID_IUnknown) || SameId(iid, wmi::IID_IWbemObjectSink)) {
        *object = static_cast<IWbemObjectSink*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG EventSink::AddRef()
{
    return static_cast<ULONG>(m_count.fetch_add(1) + 1);
}

ULONG EventSink::Release()
{
    const LONG count = m_count.fetch_sub(1) - 1;
    if (count == 0) {
        delete this;
    }
    return static_cast<ULONG>(count);
}

HRESULT EventSink::Indicate(LONG count, IWbemClassObject** objects)
{
    if (count <= 0 || objects == nullptr) {
        return WBEM_S_NO_ERROR;  // nothing to read, nothing to tell
    }
    VARIANT value{};  // VT_EMPTY
    // Only the first object is read, however large the batch.
    HRESULT status = WBEM_E_INVALID_PARAMETER;
    if (objects[0] != nullptr) {
        status = objects[0]->Get(L"Brightness", 0, &value, nullptr, nullptr);
    }
    // A failed read still tells the window, with brightness 0.
    const BYTE brightness = SUCCEEDED(status) && value.vt == VT_UI1 ? value.bVal : 0;
    g_comRuntime.variantClear(&value);
    // The handle is cleared as the window goes away: a late event then reaches nothing.
    if (HWND window = m_target.load()) {
        SendMessageW(window, WM_BRIGHTNESS, brightness, 0);
    }
    for (LONG i = 0; i < count; ++i) {
        TraceValue(L"Event occurred the Value = ", status, TraceBase::Decimal);
    }
    return WBEM_S_NO_ERROR;
}

HRESULT EventSink::SetStatus(LONG flags, HRESULT status, BSTR, IWbemClassObject*)
{
    if (flags == WBEM_STATUS_COMPLETE) {
        TraceValue(L"Call complete. hResult = ", status, TraceBase::Hex);
    } else if (flags == WBEM_STATUS_PROGRESS) {
        OutputDebugStringW(L"Tendral: Call in progress.\n");
    }
    return WBEM_S_NO_ERROR;
}
