#include "brightness/brightness_watcher.h"

#include <wbemcli.h>

#include <new>

#include "brightness/com_initialization.h"
#include "brightness/com_ptr.h"
#include "brightness/com_runtime.h"
#include "brightness/event_sink.h"
#include "brightness/unique_bstr.h"
#include "brightness/wmi_identifiers.h"
#include "platform/trace.h"
#include "platform/unique_handle.h"

namespace {

constexpr wchar_t kNamespace[] = L"ROOT\\WMI";
constexpr wchar_t kQueryLanguage[] = L"WQL";
constexpr wchar_t kQuery[] = L"SELECT * FROM WmiMonitorBrightnessEvent";

DWORD WINAPI WatchBrightness(void* target)
{
    if (StartBrightnessWatcher(*static_cast<const std::atomic<HWND>*>(target)) != kBrightnessSubscribed) {
        // Without it the program only misses brightness events.
        TraceIgnoredFailure(L"starting the brightness watcher");
        return 0;
    }
    Sleep(INFINITE);
    return 0;
}

}  // namespace

int StartBrightnessWatcher(const std::atomic<HWND>& target)
{
    // COM's libraries come now, on the watcher's thread, not with the program.
    if (!g_comRuntime.Load()) {
        return kBrightnessLocatorFailed;
    }
    // Declared so that whatever path leaves frees the strings first, then releases the objects in the
    // order services, locator, apartment, stub, sink, stub sink, and uninitialises COM last.
    ComInitialization com;
    ComPtr<IWbemObjectSink> stubSink;
    ComPtr<EventSink> sink;
    ComPtr<IUnknown> stub;
    ComPtr<IUnsecuredApartment> apartment;
    ComPtr<IWbemLocator> locator;
    ComPtr<IWbemServices> services;
    UniqueBstr query;
    UniqueBstr language;
    UniqueBstr nameSpace(kNamespace);

    // Both may fail when COM or its security was set up earlier in the process; neither stops us.
    com.Initialize();
    g_comRuntime.initializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_DEFAULT,
                                    RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE, nullptr);

    if (FAILED(g_comRuntime.createInstance(wmi::CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER,
                                           wmi::IID_IWbemLocator, locator.PutVoid())) ||
        !locator) {
        return kBrightnessLocatorFailed;
    }
    if (FAILED(locator->ConnectServer(nameSpace.Get(), nullptr, nullptr, nullptr, 0, nullptr, nullptr,
                                      services.Put())) ||
        !services) {
        return kBrightnessConnectFailed;
    }
    if (FAILED(g_comRuntime.setProxyBlanket(services.Get(), RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr,
                                            RPC_C_AUTHN_LEVEL_CALL, RPC_C_IMP_LEVEL_IMPERSONATE, nullptr,
                                            EOAC_NONE))) {
        return kBrightnessSecurityFailed;
    }

    // WMI calls back from its own process through the unsecured apartment's stub. None of these three
    // objects can be done without: a missing one ends the attempt.
    if (FAILED(g_comRuntime.createInstance(wmi::CLSID_UnsecuredApartment, nullptr, CLSCTX_LOCAL_SERVER,
                                           wmi::IID_IUnsecuredApartment, apartment.PutVoid())) ||
        !apartment) {
        return kBrightnessSinkSetupFailed;
    }
    sink = ComPtr<EventSink>::Share(new (std::nothrow) EventSink(target));
    if (!sink) {
        return kBrightnessSinkSetupFailed;
    }
    if (FAILED(apartment->CreateObjectStub(sink.Get(), stub.Put())) || !stub) {
        return kBrightnessSinkSetupFailed;
    }
    if (FAILED(stub->QueryInterface(wmi::IID_IWbemObjectSink, stubSink.PutVoid())) || !stubSink) {
        return kBrightnessSinkSetupFailed;
    }

    language.Reset(kQueryLanguage);
    query.Reset(kQuery);
    const HRESULT subscribed = services->ExecNotificationQueryAsync(
        language.Get(), query.Get(), WBEM_FLAG_SEND_STATUS, nullptr, stubSink.Get());
    if (FAILED(subscribed)) {
        TraceValue(L"ExecNotificationQueryAsync failed with = ", subscribed, TraceBase::Hex);
        return kBrightnessQueryRefused;
    }

    // WMI now holds the stub sink, and through it the sink. The services object and the locator go
    // last; COM stays initialised for the subscription's sake.
    nameSpace.Reset();
    language.Reset();
    query.Reset();
    apartment.Reset();
    stub.Reset();
    sink.Reset();
    stubSink.Reset();
    com.Keep();
    return kBrightnessSubscribed;
}

bool StartBrightnessWatcherThread(const std::atomic<HWND>& target)
{
    // The thread is never waited for: the handle is not needed.
    const UniqueHandle thread(
        CreateThread(nullptr, 0, &WatchBrightness, const_cast<std::atomic<HWND>*>(&target), 0, nullptr));
    return static_cast<bool>(thread);
}
