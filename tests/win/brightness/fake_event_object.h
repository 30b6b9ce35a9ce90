// A WMI event object that carries one brightness and records how it was read. It lives on the
// test's stack; its reference counting does nothing.
#pragma once

#include <windows.h>

#include <wbemcli.h>

#include <string>
#include <vector>

class FakeEventObject : public IWbemClassObject {
public:
    // Get answers `status`, and on success the brightness as a one-byte unsigned value.
    explicit FakeEventObject(BYTE brightness, HRESULT status = WBEM_S_NO_ERROR)
        : m_brightness(brightness), m_status(status)
    {
    }

    // One entry per Get: name, flags, whether the value came in empty, type and flavour wanted.
    std::vector<std::string> reads;

    HRESULT STDMETHODCALLTYPE Get(LPCWSTR name, LONG flags, VARIANT* value, CIMTYPE* type,
                                  LONG* flavour) override
    {
        reads.push_back(std::string(name == std::wstring(L"Brightness") ? "Brightness" : "other") + " " +
                        std::to_string(flags) + (value->vt == VT_EMPTY ? " empty" : " dirty") +
                        (type == nullptr ? " null" : " set") + (flavour == nullptr ? " null" : " set"));
        if (SUCCEEDED(m_status)) {
            value->vt = VT_UI1;
            value->bVal = m_brightness;
        }
        return m_status;
    }

    // clang-format off
#define NOT_USED(method, ...) HRESULT STDMETHODCALLTYPE method(__VA_ARGS__) override { return E_NOTIMPL; }
    NOT_USED(QueryInterface, REFIID, void**)
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    NOT_USED(GetQualifierSet, IWbemQualifierSet**)
    NOT_USED(Put, LPCWSTR, LONG, VARIANT*, CIMTYPE)
    NOT_USED(Delete, LPCWSTR)
    NOT_USED(GetNames, LPCWSTR, LONG, VARIANT*, SAFEARRAY**)
    NOT_USED(BeginEnumeration, LONG)
    NOT_USED(Next, LONG, BSTR*, VARIANT*, CIMTYPE*, LONG*)
    NOT_USED(EndEnumeration)
    NOT_USED(GetPropertyQualifierSet, LPCWSTR, IWbemQualifierSet**)
    NOT_USED(Clone, IWbemClassObject**)
    NOT_USED(GetObjectText, LONG, BSTR*)
    NOT_USED(SpawnDerivedClass, LONG, IWbemClassObject**)
    NOT_USED(SpawnInstance, LONG, IWbemClassObject**)
    NOT_USED(CompareTo, LONG, IWbemClassObject*)
    NOT_USED(GetPropertyOrigin, LPCWSTR, BSTR*)
    NOT_USED(InheritsFrom, LPCWSTR)
    NOT_USED(GetMethod, LPCWSTR, LONG, IWbemClassObject**, IWbemClassObject**)
    NOT_USED(PutMethod, LPCWSTR, LONG, IWbemClassObject*, IWbemClassObject*)
    NOT_USED(DeleteMethod, LPCWSTR)
    NOT_USED(BeginMethodEnumeration, LONG)
    NOT_USED(NextMethod, LONG, BSTR*, IWbemClassObject**, IWbemClassObject**)
    NOT_USED(EndMethodEnumeration)
    NOT_USED(GetMethodQualifierSet, LPCWSTR, IWbemQualifierSet**)
    NOT_USED(GetMethodOrigin, LPCWSTR, BSTR*)
#undef NOT_USED
    // clang-format on

private:
    BYTE m_brightness;
    HRESULT m_status;
};
