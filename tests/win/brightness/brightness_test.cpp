// The brightness watcher against fakes of every object WMI hands out, its sink on its own, and the
// main window that hands the sink its handle.
#include <windows.h>

#include <gtest/gtest.h>
#include <oleauto.h>
#include <wbemcli.h>

#include <array>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "brightness/brightness_watcher.h"
#include "brightness/com_runtime.h"
#include "brightness/event_sink.h"
#include "brightness/wmi_identifiers.h"
#include "main_window_fixture.h"
#include "message_pump.h"

// The whole program's deallocation goes through here, so that a test can see one object deleted.
std::atomic<const void*> g_watched{nullptr};
std::atomic<bool> g_watchedDeleted{false};
void operator delete(void* object) noexcept
{
    g_watchedDeleted = g_watchedDeleted || (object != nullptr && object == g_watched);
    std::free(object);
}
void operator delete(void* object, std::size_t) noexcept
{
    ::operator delete(object);
}

namespace {

enum class Fault { None, Locator, Connect, Blanket, Apartment, Stub, StubMissing, StubSink, Query } g_fault;
HRESULT g_initializeResult = S_OK;
// WMI's objects alive, COM's balance, a release after COM was left, and what the watcher asked for.
std::atomic<int> g_alive{0};
int g_initialized = 0, g_releasedLate = 0, g_reads = 0, g_dirtyReads = 0;
std::wstring g_asked;
std::atomic<IWbemObjectSink*> g_handler{nullptr};  // the subscription's handler, held as WMI holds it
// When set, the connection waits for it, at most 5 s: a management service that is slow to answer.
HANDLE g_connectionGate = nullptr;
std::atomic<bool> g_connecting{false};

// A BSTR's text by its length prefix: a plain string passed instead shows as garbage.
std::wstring Text(const BSTR text)
{
    return text != nullptr ? std::wstring(text, SysStringLen(text)) : L"(null)";
}

bool Is(const GUID& id, const GUID& known)
{
    return std::memcmp(&known, &id, sizeof(GUID)) == 0;
}

// One fake for all of WMI's objects: the locator, the services, the apartment, the stub and the stub
// sink (both holding the program's sink), and event objects that carry a brightness. A fake is laid out
// as a COM object: its table of methods holds IUnknown's three and the one method of its interface that
// the watcher calls, at its place in wbemcli.h. The other places are empty, so that a call the watcher
// should not make crashes the test.
using Methods = std::array<void (*)(), 24>;
struct Fake {
    static HRESULT STDMETHODCALLTYPE QueryInterface(Fake* fake, REFIID iid, void** object);  // the stub's
    static ULONG STDMETHODCALLTYPE AddRef(Fake* fake) { return ++fake->count; }
    static ULONG STDMETHODCALLTYPE Release(Fake* fake)
    {
        g_releasedLate += g_initialized == 0 && g_initializeResult != RPC_E_CHANGED_MODE ? 1 : 0;
        const ULONG left = --fake->count;
        if (left == 0) {
            fake->sink != nullptr && fake->sink->Release();
            --g_alive;
            delete fake;
        }
        return left;
    }
    static HRESULT STDMETHODCALLTYPE Indicate(Fake* f, LONG n, IWbemClassObject** o)
    {
        return f->sink->Indicate(n, o);
    }

    const Methods* methods;
    IWbemObjectSink* sink = nullptr;
    BYTE brightness = 0;  // 0: the object has no brightness
    std::atomic<ULONG> count{1};
};

// A new fake with IUnknown's methods, and `method` at its place in the interface's table.
template <class Interface, std::size_t place, auto method>
Interface* New(IWbemObjectSink* sink = nullptr, BYTE brightness = 0)
{
    static const Methods methods = [] {
        Methods table{reinterpret_cast<void (*)()>(&Fake::QueryInterface),
                      reinterpret_cast<void (*)()>(&Fake::AddRef),
                      reinterpret_cast<void (*)()>(&Fake::Release)};
        table[place] = reinterpret_cast<void (*)()>(method);
        return table;
    }();
    ++g_alive;
    return reinterpret_cast<Interface*>(new Fake{&methods, sink, brightness});
}

HRESULT STDMETHODCALLTYPE Fake::QueryInterface(Fake* fake, REFIID iid, void** object)
{
    const bool give = g_fault != Fault::StubSink && Is(iid, ::IID_IWbemObjectSink);
    *object = give ? New<IWbemObjectSink, 3, &Fake::Indicate>(fake->sink) : nullptr;
    return give && fake->sink->AddRef() ? S_OK : E_NOINTERFACE;
}
HRESULT STDMETHODCALLTYPE ExecNotificationQueryAsync(Fake*, const BSTR language, const BSTR query, LONG,
                                                     IWbemContext*, IWbemObjectSink* handler)
{
    g_asked += L" " + Text(language) + L" " + Text(query);
    const bool take = g_fault != Fault::Query && handler->AddRef();
    g_handler = take ? handler : nullptr;
    return take ? S_OK : static_cast<HRESULT>(0x8004100C);
}
HRESULT STDMETHODCALLTYPE ConnectServer(Fake*, const BSTR resource, const BSTR, const BSTR, const BSTR, LONG,
                                        const BSTR, IWbemContext*, IWbemServices** services)
{
    g_asked = Text(resource);
    g_connecting = true;
    if (g_connectionGate != nullptr) {
        WaitForSingleObject(g_connectionGate, 5000);
    }
    g_connecting = false;
    *services = g_fault == Fault::Connect ? nullptr : New<IWbemServices, 23, &ExecNotificationQueryAsync>();
    return *services != nullptr ? S_OK : static_cast<HRESULT>(WBEM_E_INVALID_NAMESPACE);
}
HRESULT STDMETHODCALLTYPE CreateObjectStub(Fake*, IUnknown* object, IUnknown** stub)
{
    g_watched = object;
    g_watchedDeleted = false;
    IWbemObjectSink* held = nullptr;
    if (g_fault != Fault::Stub && g_fault != Fault::StubMissing) {
        object->QueryInterface(wmi::IID_IWbemObjectSink, reinterpret_cast<void**>(&held));
    }
    *stub = held != nullptr ? New<IUnknown, 0, &Fake::QueryInterface>(held) : nullptr;
    return g_fault == Fault::Stub ? E_OUTOFMEMORY : S_OK;
}
HRESULT STDMETHODCALLTYPE Get(Fake* fake, LPCWSTR property, LONG, VARIANT* value, CIMTYPE*, LONG*)
{
    ++g_reads;
    g_dirtyReads += value->vt != VT_EMPTY || std::wstring(property) != L"Brightness" ? 1 : 0;
    value->vt = VT_UI1;
    value->bVal = fake->brightness;
    return fake->brightness == 0 ? static_cast<HRESULT>(WBEM_E_NOT_FOUND) : S_OK;
}
// An event object, as WMI hands it to the sink; the sink only reads it. Never freed, it is not counted.
IWbemClassObject* Event(BYTE brightness)
{
    --g_alive;
    return New<IWbemClassObject, 4, &Get>(nullptr, brightness);
}

// The COM library's calls.
HRESULT WINAPI InitializeEx(void*, DWORD)
{
    g_initialized += SUCCEEDED(g_initializeResult) ? 1 : 0;
    return g_initializeResult;
}
HRESULT WINAPI InitializeSecurity(PSECURITY_DESCRIPTOR, LONG, SOLE_AUTHENTICATION_SERVICE*, void*, DWORD,
                                  DWORD, void*, DWORD, void*)
{
    return S_OK;
}
HRESULT WINAPI CreateInstance(REFCLSID classId, IUnknown*, DWORD, REFIID iid, void** object)
{
    *object = nullptr;
    if (Is(classId, ::CLSID_WbemLocator) && Is(iid, ::IID_IWbemLocator) && g_fault != Fault::Locator) {
        *object = New<IWbemLocator, 3, &ConnectServer>();
    } else if (Is(classId, ::CLSID_UnsecuredApartment) && Is(iid, ::IID_IUnsecuredApartment) &&
               g_fault != Fault::Apartment) {
        *object = New<IUnsecuredApartment, 3, &CreateObjectStub>();
    }
    return *object != nullptr ? S_OK : REGDB_E_CLASSNOTREG;
}
HRESULT WINAPI SetProxyBlanket(IUnknown*, DWORD, DWORD, OLECHAR*, DWORD, DWORD, RPC_AUTH_IDENTITY_HANDLE,
                               DWORD)
{
    return g_fault == Fault::Blanket ? E_ACCESSDENIED : S_OK;
}
void WINAPI Uninitialize()
{
    --g_initialized;
}

// Every path releases what it obtained before it uninitialises COM, exactly when it was initialised
// here and the subscription does not stand.
TEST(BrightnessWatcher, EveryOutcomeReleasesWhatItObtainedAndBalancesCom)
{
    const std::tuple<Fault, HRESULT, int> cases[] = {
        {Fault::Locator, S_OK, 3},
        {Fault::Connect, S_OK, 4},
        {Fault::Blanket, S_OK, 5},
        {Fault::Blanket, S_FALSE, 5},  // already initialised: balanced too
        {Fault::Apartment, S_OK, 6},
        {Fault::Stub, S_OK, 6},
        {Fault::StubMissing, S_OK, 6},
        {Fault::StubSink, S_OK, 6},
        {Fault::Query, S_OK, 1},
        {Fault::Locator, RPC_E_CHANGED_MODE, 3},  // COM refused: nothing of ours to undo
        {Fault::None, S_OK, 0},                   // WMI keeps the stub sink; COM stays initialised
    };
    g_comRuntime = {&InitializeEx, &InitializeSecurity, &CreateInstance, &SetProxyBlanket, &Uninitialize};
    for (const auto& [fault, initialize, code] : cases) {
        SCOPED_TRACE(testing::Message() << "fault " << static_cast<int>(fault) << ", code " << code);
        g_fault = fault;
        g_initializeResult = initialize;
        g_initialized = g_releasedLate = 0;
        g_asked.clear();
        g_watched = nullptr;
        g_watchedDeleted = false;
        std::atomic<HWND> target{nullptr};
        EXPECT_EQ(StartBrightnessWatcher(target), code);
        EXPECT_EQ(g_alive, code == 0 ? 1 : 0) << "objects left";
        EXPECT_EQ(g_initialized, code == 0 ? 1 : 0);
        EXPECT_EQ(g_releasedLate, 0) << "released after COM was left";
        // Every reference to the sink is gone once WMI lets go of its handler.
        EXPECT_EQ(g_watchedDeleted.load(), code != 0 && g_watched != nullptr);
        if (code <= 1) {
            EXPECT_EQ(g_asked, L"ROOT\\WMI WQL SELECT * FROM WmiMonitorBrightnessEvent");
        }
        if (code == 0) {
            g_handler.load()->Release();
            EXPECT_TRUE(g_watchedDeleted);
            EXPECT_EQ(g_alive, 0);
        }
    }
    g_comRuntime = ComRuntime{};
}

// A sink with the creator's reference taken, as the watcher holds it.
EventSink* NewSink(const std::atomic<HWND>& target)
{
    auto* sink = new EventSink(target);
    sink->AddRef();
    return sink;
}

ULONG CountOf(IUnknown* object)  // read without changing it
{
    object->AddRef();
    return object->Release();
}

TEST(EventSink, QueryInterfaceAcceptsExactlyTheTwoIdentities)
{
    // Near misses differ in the last byte only, so a comparison of fewer than 16 bytes accepts them.
    GUID nearUnknown = ::IID_IUnknown, nearSink = ::IID_IWbemObjectSink;
    nearUnknown.Data4[7] ^= 1;
    nearSink.Data4[7] ^= 1;
    std::atomic<HWND> target{nullptr};
    EventSink* sink = NewSink(target);
    for (const auto& [iid, result] : {std::pair{&::IID_IUnknown, S_OK},
                                      {&::IID_IWbemObjectSink, S_OK},
                                      {&nearUnknown, E_NOINTERFACE},
                                      {&nearSink, E_NOINTERFACE},
                                      {&wmi::IID_IWbemLocator, E_NOINTERFACE}}) {
        void* object = &target;  // anything but null, to see it overwritten
        EXPECT_EQ(sink->QueryInterface(*iid, &object), result) << iid->Data1;
        EXPECT_EQ(object, result == S_OK ? static_cast<IWbemObjectSink*>(sink) : nullptr) << iid->Data1;
        EXPECT_EQ(CountOf(sink), result == S_OK ? 2u : 1u) << iid->Data1;
        result == S_OK && sink->Release();
    }
    EXPECT_EQ(sink->QueryInterface(wmi::IID_IUnknown, nullptr), E_POINTER);
    sink->Release();
}

// WMI's threads and ours take and let go of the sink at once: a count that loses one deletes it too
// early, or never.
TEST(EventSink, CountStaysExactUnderConcurrentUseAndTheLastReleaseDeletes)
{
    std::atomic<HWND> target{nullptr};
    EventSink* sink = NewSink(target);
    g_watched = sink;
    g_watchedDeleted = false;
    std::atomic<int> ready{0};  // all start together, so that their calls overlap
    std::vector<std::jthread> threads;
    for (int i = 0; i < 4; ++i) {
        threads.emplace_back([&] {
            for (++ready; ready < 4;) {
            }
            for (int round = 0; round < 1000000 && !g_watchedDeleted; ++round) {
                sink->AddRef();
                sink->Release();
            }
        });
    }
    threads.clear();
    ASSERT_FALSE(g_watchedDeleted);
    EXPECT_EQ(sink->Release(), 0u);
    EXPECT_TRUE(g_watchedDeleted);
}

// Every WM_BRIGHTNESS as (wParam, lParam), as it is handled; the main window's test also brings an
// event in at WM_NCDESTROY, when its destruction has begun (after WM_DESTROY, the window still exists).
using Received = std::vector<std::pair<WPARAM, LPARAM>>;
Received g_received;
WNDPROC g_originalProc = nullptr;
LRESULT CALLBACK Record(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_BRIGHTNESS) {
        g_received.emplace_back(wParam, lParam);
    } else if (message == WM_NCDESTROY && g_handler != nullptr) {
        IWbemClassObject* batch[] = {Event(41)};
        g_handler.load()->Indicate(1, batch);
    }
    return CallWindowProcW(g_originalProc, window, message, wParam, lParam);
}
void Watch(HWND window)
{
    g_originalProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Record)));
}

TEST(EventSink, IndicateSendsTheFirstBrightnessOnce)
{
    // The batch, its count, and what is sent: only the first object is read, into an empty value.
    const struct {
        std::vector<IWbemClassObject*> batch;
        LONG count;
        Received sent;
    } cases[] = {
        {{Event(40), Event(7), Event(7)}, 3, {{40, 0}}},
        {{Event(255)}, 1, {{255, 0}}},  // zero-extended, never sign-extended
        {{Event(0)}, 1, {{0, 0}}},      // a failed read still tells the window, with 0
        {{nullptr}, 1, {{0, 0}}},       // no object: a failed read
        {{Event(40)}, 0, {}},           // no objects, nothing to tell
        {{}, 2, {}},                    // no array
    };
    g_handler = nullptr;
    for (const auto& [batch, count, sent] : cases) {
        SCOPED_TRACE(count);
        MessageWindow window;
        Watch(window.Get());
        g_received.clear();
        g_reads = g_dirtyReads = 0;
        std::atomic<HWND> target{window.Get()};
        EventSink* sink = NewSink(target);
        auto objects = batch;
        EXPECT_EQ(sink->Indicate(count, objects.empty() ? nullptr : objects.data()), WBEM_S_NO_ERROR);
        EXPECT_EQ(g_received, sent) << "sent, so handled before Indicate returns";
        EXPECT_EQ(g_reads, count > 0 && !batch.empty() && batch[0] != nullptr ? 1 : 0);
        EXPECT_EQ(g_dirtyReads, 0);
        sink->Release();
    }
}

class BrightnessInMainWindow : public MainWindow {};

// The main window's subscription, made while the window already answers however long WMI takes to
// connect: an event reaches the running window, and none reaches it once its destruction has begun.
TEST_F(BrightnessInMainWindow, ASlowConnectionKeepsNothingWaitingAndEventsReachTheRunningWindowOnly)
{
    g_comRuntime = {&InitializeEx, &InitializeSecurity, &CreateInstance, &SetProxyBlanket, &Uninitialize};
    g_fault = Fault::None;
    g_initializeResult = S_OK;
    g_received.clear();
    g_handler = nullptr;
    g_connectionGate = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    IWbemClassObject* batch[] = {Event(40)};
    CVelkaroDlg dialog;
    RunModal(dialog, [&] {
        // The message loop runs while the connection is still being made.
        EXPECT_TRUE(PumpUntil([] { return g_connecting.load(); }, 3000));
        EXPECT_EQ(g_handler.load(), nullptr);
        SetEvent(g_connectionGate);
        ASSERT_TRUE(PumpUntil([] { return g_handler != nullptr; }, 3000));
        Watch(dialog.m_hWnd);
        g_handler.load()->Indicate(1, batch);
        PostMessageW(dialog.m_hWnd, WM_CLOSE, 0, 0);
    });
    CloseHandle(std::exchange(g_connectionGate, nullptr));
    g_comRuntime = ComRuntime{};
    g_handler.load()->Release();
    EXPECT_EQ(g_received, (Received{{40, 0}}));
}

}  // namespace
