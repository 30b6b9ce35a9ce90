// The brightness watcher against fakes of every object WMI hands out, its sink on its own, and the
// main window that hands the sink its handle.
#include <windows.h>

#include <gtest/gtest.h>
#include <oleauto.h>
#include <wbemcli.h>

#include <array>
#include <cstdlib>
#include <cstring>
#include <mutex>
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

using Steps = std::vector<std::string>;
Steps g_journal;
enum class Fault { None, Locator, Connect, Blanket, Apartment, Stub, StubMissing, StubSink, Query } g_fault;
HRESULT g_initializeResult = S_OK;
std::atomic<IWbemObjectSink*> g_handler{nullptr};  // the subscription's handler, held as WMI holds it
// When set, the connection waits for it, at most 5 s: a management service that is slow to answer.
HANDLE g_connectionGate = nullptr;
std::atomic<bool> g_connecting{false};

template <class... T>
void Log(const char* format, T... arguments)
{
    static std::mutex journal;  // the watcher's thread writes too
    char line[200];
    std::snprintf(line, sizeof line, format, arguments...);
    const std::lock_guard<std::mutex> lock(journal);
    g_journal.push_back(line);
}

const char* IdName(const GUID& id)
{
    // The system's identifiers, so that one the program holds wrongly shows as "other".
    for (const auto& [known, name] : {std::pair{&::CLSID_WbemLocator, "WbemLocator"},
                                      {&::IID_IWbemLocator, "IWbemLocator"},
                                      {&::CLSID_UnsecuredApartment, "UnsecuredApartment"},
                                      {&::IID_IUnsecuredApartment, "IUnsecuredApartment"},
                                      {&::IID_IWbemObjectSink, "IWbemObjectSink"}}) {
        if (std::memcmp(known, &id, sizeof(GUID)) == 0) {
            return name;
        }
    }
    return "other";
}

// One fake for all of WMI's objects, by name: the locator, the services, the apartment, the stub and
// the stub sink (both holding the program's sink), and event objects that carry a brightness. A fake is
// laid out as a COM object: it starts with its table of methods, which holds IUnknown's three and the
// one method of its interface that the watcher calls, at its place in wbemcli.h. The other places are
// empty, so that a call the watcher should not make crashes the test.
using Methods = std::array<void (*)(), 24>;
struct Fake {
    static HRESULT STDMETHODCALLTYPE QueryInterface(Fake* fake, REFIID iid, void** object);  // the stub's
    static ULONG STDMETHODCALLTYPE AddRef(Fake* fake) { return ++fake->count; }
    static ULONG STDMETHODCALLTYPE Release(Fake* fake)
    {
        Log("Release %s", fake->name);
        const ULONG left = --fake->count;
        if (left == 0) {
            fake->sink != nullptr && fake->sink->Release();
            delete fake;
        }
        return left;
    }
    static HRESULT STDMETHODCALLTYPE Indicate(Fake* f, LONG n, IWbemClassObject** o)
    {
        return f->sink->Indicate(n, o);
    }

    const Methods* methods;
    const char* name;
    IWbemObjectSink* sink = nullptr;
    BYTE brightness = 0;  // 0: the object has no brightness
    std::atomic<ULONG> count{1};
};

// A new fake with IUnknown's methods, and `method` at its place in the interface's table.
template <class Interface, std::size_t place, auto method>
Interface* New(const char* name, IWbemObjectSink* sink = nullptr, BYTE brightness = 0)
{
    static const Methods methods = [] {
        Methods table{reinterpret_cast<void (*)()>(&Fake::QueryInterface),
                      reinterpret_cast<void (*)()>(&Fake::AddRef),
                      reinterpret_cast<void (*)()>(&Fake::Release)};
        table[place] = reinterpret_cast<void (*)()>(method);
        return table;
    }();
    return reinterpret_cast<Interface*>(new Fake{&methods, name, sink, brightness});
}

HRESULT STDMETHODCALLTYPE Fake::QueryInterface(Fake* fake, REFIID iid, void** object)
{
    Log("QueryInterface %s %s", fake->name, IdName(iid));
    const bool give = g_fault != Fault::StubSink && IdName(iid) == std::string("IWbemObjectSink");
    *object = give ? New<IWbemObjectSink, 3, &Fake::Indicate>("stubSink", fake->sink) : nullptr;
    return give && fake->sink->AddRef() ? S_OK : E_NOINTERFACE;
}
HRESULT STDMETHODCALLTYPE ExecNotificationQueryAsync(Fake*, const BSTR language, const BSTR query, LONG flags,
                                                     IWbemContext* context, IWbemObjectSink* handler)
{
    Log("ExecNotificationQueryAsync %ls(%u) %ls(%u) 0x%lX %s %s", language, SysStringLen(language), query,
        SysStringLen(query), flags, context ? "set" : "null", reinterpret_cast<Fake*>(handler)->name);
    const bool take = g_fault != Fault::Query && handler->AddRef();
    g_handler = take ? handler : nullptr;
    return take ? S_OK : static_cast<HRESULT>(0x8004100C);
}
HRESULT STDMETHODCALLTYPE ConnectServer(Fake*, const BSTR resource, const BSTR user, const BSTR password,
                                        const BSTR locale, LONG flags, const BSTR authority,
                                        IWbemContext* context, IWbemServices** services)
{
    const bool nulls = !user && !password && !locale && !authority && !context;
    Log("ConnectServer %ls(%u) %ld %s", resource, SysStringLen(resource), flags, nulls ? "null" : "set");
    g_connecting = true;
    if (g_connectionGate != nullptr) {
        WaitForSingleObject(g_connectionGate, 5000);
    }
    g_connecting = false;
    *services =
        g_fault == Fault::Connect ? nullptr : New<IWbemServices, 23, &ExecNotificationQueryAsync>("services");
    return *services != nullptr ? S_OK : static_cast<HRESULT>(WBEM_E_INVALID_NAMESPACE);
}
HRESULT STDMETHODCALLTYPE CreateObjectStub(Fake*, IUnknown* object, IUnknown** stub)
{
    object->AddRef();
    Log("CreateObjectStub sink(%lu)", object->Release());
    g_watched = object;
    g_watchedDeleted = false;
    IWbemObjectSink* held = nullptr;
    if (g_fault != Fault::Stub && g_fault != Fault::StubMissing) {
        object->QueryInterface(wmi::IID_IWbemObjectSink, reinterpret_cast<void**>(&held));
    }
    *stub = held != nullptr ? New<IUnknown, 0, &Fake::QueryInterface>("stub", held) : nullptr;
    return g_fault == Fault::Stub ? E_OUTOFMEMORY : S_OK;
}
HRESULT STDMETHODCALLTYPE Get(Fake* fake, LPCWSTR property, LONG flags, VARIANT* value, CIMTYPE* type,
                              LONG* flavour)
{
    Log("Get %ls %ld %s %s %s", property, flags, value->vt == VT_EMPTY ? "empty" : "dirty",
        type ? "set" : "null", flavour ? "set" : "null");
    value->vt = VT_UI1;
    value->bVal = fake->brightness;
    return fake->brightness == 0 ? static_cast<HRESULT>(WBEM_E_NOT_FOUND) : S_OK;
}
// An event object, as WMI hands it to the sink; the sink only reads it, and it is never freed.
IWbemClassObject* Event(BYTE brightness)
{
    return New<IWbemClassObject, 4, &Get>("event", nullptr, brightness);
}

// The COM library calls, written to the journal with the arguments that matter.
HRESULT WINAPI InitializeEx(void*, DWORD flags)
{
    Log("CoInitializeEx %lu", flags);
    return g_initializeResult;
}
HRESULT WINAPI InitializeSecurity(PSECURITY_DESCRIPTOR, LONG services, SOLE_AUTHENTICATION_SERVICE*, void*,
                                  DWORD level, DWORD impersonation, void*, DWORD capabilities, void*)
{
    Log("CoInitializeSecurity %ld %lu %lu %lu", services, level, impersonation, capabilities);
    return S_OK;
}
HRESULT WINAPI CreateInstance(REFCLSID classId, IUnknown*, DWORD context, REFIID iid, void** object)
{
    const std::string name = IdName(classId);
    Log("CoCreateInstance %s %lu %s", name.c_str(), context, IdName(iid));
    *object = nullptr;
    if (name == "WbemLocator" && g_fault != Fault::Locator) {
        *object = New<IWbemLocator, 3, &ConnectServer>("locator");
    } else if (name == "UnsecuredApartment" && g_fault != Fault::Apartment) {
        *object = New<IUnsecuredApartment, 3, &CreateObjectStub>("apartment");
    }
    return *object != nullptr ? S_OK : REGDB_E_CLASSNOTREG;
}
HRESULT WINAPI SetProxyBlanket(IUnknown* proxy, DWORD authentication, DWORD authorisation, OLECHAR* principal,
                               DWORD level, DWORD impersonation, RPC_AUTH_IDENTITY_HANDLE, DWORD capabilities)
{
    Log("CoSetProxyBlanket %s %lu %lu %s %lu %lu %lu", reinterpret_cast<Fake*>(proxy)->name, authentication,
        authorisation, principal ? "set" : "null", level, impersonation, capabilities);
    return g_fault == Fault::Blanket ? E_ACCESSDENIED : S_OK;
}
void WINAPI Uninitialize()
{
    Log("CoUninitialize");
}

Steps operator+(Steps steps, const Steps& more)
{
    steps.insert(steps.end(), more.begin(), more.end());
    return steps;
}

const Steps kLocator = {"CoInitializeEx 0", "CoInitializeSecurity -1 0 3 0",
                        "CoCreateInstance WbemLocator 1 IWbemLocator"};
const Steps kConnect = kLocator + Steps{"ConnectServer ROOT\\WMI(8) 0 null"};
const Steps kBlanket = kConnect + Steps{"CoSetProxyBlanket services 10 0 null 3 3 0"};
const Steps kApartment = kBlanket + Steps{"CoCreateInstance UnsecuredApartment 4 IUnsecuredApartment"};
const Steps kStub = kApartment + Steps{"CreateObjectStub sink(1)"};
const Steps kStubSink = kStub + Steps{"QueryInterface stub IWbemObjectSink"};
const Steps kQuery =
    kStubSink +
    Steps{"ExecNotificationQueryAsync WQL(3) SELECT * FROM WmiMonitorBrightnessEvent(39) 0x80 null stubSink"};
const Steps kTwo = {"Release services", "Release locator"};
const Steps kThree = kTwo + Steps{"Release apartment"};
const Steps kUninitialize = {"CoUninitialize"};

// Every path releases what it obtained, and uninitialises COM, last and once, exactly when it was
// initialised here and the subscription does not stand.
TEST(BrightnessWatcher, EveryOutcomeReleasesWhatItObtainedAndBalancesCom)
{
    const struct {
        Fault fault;
        HRESULT initialize;
        int code;
        Steps journal;
    } cases[] = {
        {Fault::Locator, S_OK, 3, kLocator + kUninitialize},
        {Fault::Connect, S_OK, 4, kConnect + Steps{"Release locator", "CoUninitialize"}},
        {Fault::Blanket, S_OK, 5, kBlanket + kTwo + kUninitialize},
        {Fault::Blanket, S_FALSE, 5, kBlanket + kTwo + kUninitialize},  // already initialised: balanced too
        {Fault::Apartment, S_OK, 6, kApartment + kTwo + kUninitialize},
        {Fault::Stub, S_OK, 6, kStub + kThree + kUninitialize},
        {Fault::StubMissing, S_OK, 6, kStub + kThree + kUninitialize},
        {Fault::StubSink, S_OK, 6, kStubSink + kThree + Steps{"Release stub", "CoUninitialize"}},
        {Fault::Query, S_OK, 1,
         kQuery + kThree + Steps{"Release stub", "Release stubSink", "CoUninitialize"}},
        {Fault::Locator, RPC_E_CHANGED_MODE, 3, kLocator},  // COM refused: nothing of ours to undo
        // WMI keeps the stub sink; COM stays initialised.
        {Fault::None, S_OK, 0,
         kQuery + Steps{"Release apartment", "Release stub", "Release stubSink"} + kTwo},
    };
    g_comRuntime = {&InitializeEx, &InitializeSecurity, &CreateInstance, &SetProxyBlanket, &Uninitialize};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "fault " << static_cast<int>(c.fault) << ", code " << c.code);
        g_fault = c.fault;
        g_initializeResult = c.initialize;
        g_journal.clear();
        g_watched = nullptr;
        g_watchedDeleted = false;
        std::atomic<HWND> target{nullptr};
        EXPECT_EQ(StartBrightnessWatcher(target), c.code);
        EXPECT_EQ(g_journal, c.journal);
        // Every reference to the sink is gone once WMI lets go of its handler.
        EXPECT_EQ(g_watchedDeleted.load(), c.code != 0 && g_watched != nullptr);
        if (c.code == 0) {
            g_handler.load()->Release();
            EXPECT_TRUE(g_watchedDeleted);
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
    GUID nearUnknown = ::IID_IUnknown;
    nearUnknown.Data4[7] ^= 1;
    GUID nearSink = ::IID_IWbemObjectSink;
    nearSink.Data4[7] ^= 1;
    const std::pair<const GUID*, HRESULT> cases[] = {
        {&::IID_IUnknown, S_OK},    {&::IID_IWbemObjectSink, S_OK},          {&nearUnknown, E_NOINTERFACE},
        {&nearSink, E_NOINTERFACE}, {&wmi::IID_IWbemLocator, E_NOINTERFACE},
    };
    std::atomic<HWND> target{nullptr};
    EventSink* sink = NewSink(target);
    for (const auto& [iid, result] : cases) {
        void* object = &target;  // anything but null, to see it overwritten
        EXPECT_EQ(sink->QueryInterface(*iid, &object), result) << IdName(*iid);
        EXPECT_EQ(object, result == S_OK ? static_cast<IWbemObjectSink*>(sink) : nullptr) << IdName(*iid);
        EXPECT_EQ(CountOf(sink), result == S_OK ? 2u : 1u) << IdName(*iid);
        result == S_OK && sink->Release();
    }
    EXPECT_EQ(sink->QueryInterface(wmi::IID_IUnknown, nullptr), E_POINTER);
    sink->Release();
}

TEST(EventSink, CountStaysExactUnderConcurrentUseAndTheLastReleaseDeletes)
{
    constexpr int kThreads = 4, kRounds = 2000000;
    std::atomic<HWND> target{nullptr};
    EventSink* sink = NewSink(target);
    g_watched = sink;
    g_watchedDeleted = false;
    for (const auto call : {&EventSink::AddRef, &EventSink::Release}) {
        std::atomic<int> ready{0};  // all start together, so that their calls overlap
        std::vector<std::jthread> threads;
        for (int i = 0; i < kThreads; ++i) {
            threads.emplace_back([&] {
                for (++ready; ready < kThreads;) {
                }
                for (int round = 0; round < kRounds; ++round) {
                    (sink->*call)();
                }
            });
        }
        threads.clear();
        // Else the releases would delete it too early.
        ASSERT_EQ(CountOf(sink), call == &EventSink::AddRef ? 1u + kThreads * kRounds : 1u);
    }
    EXPECT_FALSE(g_watchedDeleted);
    EXPECT_EQ(sink->Release(), 0u);
    EXPECT_TRUE(g_watchedDeleted);
}

// Every WM_BRIGHTNESS as (wParam, lParam), as it is handled.
std::vector<std::pair<WPARAM, LPARAM>> g_received;
LRESULT CALLBACK Record(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_BRIGHTNESS) {
        g_received.emplace_back(wParam, lParam);
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

TEST(EventSink, IndicateSendsTheFirstBrightnessOnce)
{
    const struct {
        std::vector<IWbemClassObject*> batch;
        LONG count;
        std::vector<std::pair<WPARAM, LPARAM>> sent;
    } cases[] = {
        {{Event(40), Event(7), Event(7)}, 3, {{40, 0}}},
        {{Event(255)}, 1, {{255, 0}}},  // zero-extended, never sign-extended
        {{Event(0)}, 1, {{0, 0}}},      // a failed read still tells the window, with 0
        {{nullptr}, 1, {{0, 0}}},       // no object: a failed read
        {{Event(40)}, 0, {}},           // no objects, nothing to tell
        {{}, 2, {}},                    // no array
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        MessageWindow window;
        SetWindowLongPtrW(window.Get(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Record));
        g_received.clear();
        g_journal.clear();
        std::atomic<HWND> target{window.Get()};
        EventSink* sink = NewSink(target);
        auto batch = c.batch;
        EXPECT_EQ(sink->Indicate(c.count, batch.empty() ? nullptr : batch.data()), WBEM_S_NO_ERROR);
        EXPECT_EQ(g_received, c.sent) << "sent, so handled before Indicate returns";
        // Only the first object is read, by name, into an empty value, without type or flavour.
        const bool read = c.count > 0 && !batch.empty() && batch[0] != nullptr;
        EXPECT_EQ(g_journal, read ? Steps{"Get Brightness 0 empty null null"} : Steps{});
        sink->Release();
    }
}

// The main window's subscription, made while the window already answers however long WMI takes to
// connect: an event reaches the running window, and none reaches it once its destruction has begun
// (at WM_NCDESTROY, after WM_DESTROY, the window still exists).
WNDPROC g_dialogProc = nullptr;
LRESULT CALLBACK WatchDialog(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_BRIGHTNESS) {
        g_received.emplace_back(wParam, lParam);
    } else if (message == WM_NCDESTROY) {
        IWbemClassObject* batch[] = {Event(41)};
        g_handler.load()->Indicate(1, batch);
    }
    return CallWindowProcW(g_dialogProc, window, message, wParam, lParam);
}

class BrightnessInMainWindow : public MainWindow {};

TEST_F(BrightnessInMainWindow, ASlowConnectionKeepsNothingWaitingAndEventsReachTheRunningWindowOnly)
{
    g_comRuntime = {&InitializeEx, &InitializeSecurity, &CreateInstance, &SetProxyBlanket, &Uninitialize};
    g_fault = Fault::None;
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
        g_dialogProc = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(dialog.m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&WatchDialog)));
        g_handler.load()->Indicate(1, batch);
        PostMessageW(dialog.m_hWnd, WM_CLOSE, 0, 0);
    });
    CloseHandle(std::exchange(g_connectionGate, nullptr));
    g_comRuntime = ComRuntime{};
    g_handler.load()->Release();
    EXPECT_EQ(g_received, (std::vector<std::pair<WPARAM, LPARAM>>{{40, 0}}));
}

}  // namespace
