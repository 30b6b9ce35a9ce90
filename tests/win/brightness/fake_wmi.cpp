#include "fake_wmi.h"

#include <oleauto.h>

#include <atomic>
#include <cstring>
#include <type_traits>
#include <utility>

#include "brightness/com_runtime.h"
#include "brightness/wmi_identifiers.h"
#include "brightness_test_support.h"

namespace {

FakeWmi* g_wmi = nullptr;

// A BSTR as its text and its recorded length, which only a real BSTR has.
std::string Bstr(BSTR text)
{
    std::string narrow;
    for (const wchar_t* c = text; c != nullptr && *c != 0; ++c) {
        narrow.push_back(static_cast<char>(*c));
    }
    return text == nullptr ? "null" : narrow + "(" + std::to_string(SysStringLen(text)) + ")";
}

// A call's arguments as journal words: pointers as "null" or "set", numbers in decimal.
template <class T>
std::string Word(const T& value)
{
    if constexpr (std::is_pointer_v<T>) {
        return value == nullptr ? "null" : "set";
    } else if constexpr (std::is_arithmetic_v<T>) {
        return std::to_string(value);
    } else {
        return std::string(value);
    }
}

template <class... T>
void Log(const std::string& call, const T&... arguments)
{
    g_wmi->Log((call + ... + (" " + Word(arguments))));
}

std::string IdName(const GUID& id)
{
    const struct {
        const GUID& id;
        const char* name;
    } names[] = {
        {wmi::CLSID_WbemLocator, "WbemLocator"},
        {wmi::IID_IWbemLocator, "IWbemLocator"},
        {wmi::CLSID_UnsecuredApartment, "UnsecuredApartment"},
        {wmi::IID_IUnsecuredApartment, "IUnsecuredApartment"},
        {wmi::IID_IWbemObjectSink, "IWbemObjectSink"},
        {wmi::IID_IUnknown, "IUnknown"},
    };
    for (const auto& entry : names) {
        if (std::memcmp(&entry.id, &id, sizeof(GUID)) == 0) {
            return entry.name;
        }
    }
    return "other";
}

// Reference counting that writes each Release to the journal and deletes at 0.
template <class Interface>
class Counted : public Interface {
public:
    explicit Counted(const char* name) : m_name(name) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** object) override
    {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_count; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        Log("Release " + Described());
        const ULONG count = --m_count;
        if (count == 0) {
            delete this;
        }
        return count;
    }

protected:
    virtual ~Counted() = default;
    // How a release names the object in the journal.
    virtual std::string Described() const { return m_name; }
    const char* m_name;

private:
    std::atomic<ULONG> m_count{1};
};

// Holds a reference to the program's sink and passes events on to it, as the stub's sink does.
class FakeStubSink : public Counted<IWbemObjectSink> {
public:
    explicit FakeStubSink(IWbemObjectSink* sink) : Counted("stubSink"), m_sink(sink) { m_sink->AddRef(); }
    HRESULT STDMETHODCALLTYPE Indicate(LONG count, IWbemClassObject** objects) override
    {
        return m_sink->Indicate(count, objects);
    }
    HRESULT STDMETHODCALLTYPE SetStatus(LONG flags, HRESULT status, BSTR text,
                                        IWbemClassObject* object) override
    {
        return m_sink->SetStatus(flags, status, text, object);
    }

private:
    // With the sink's count, which tells whether the program let go of the sink before this release.
    std::string Described() const override
    {
        m_sink->AddRef();
        return "stubSink sink(" + std::to_string(m_sink->Release()) + ")";
    }
    ~FakeStubSink() override { Log("stubSink drops sink ->", m_sink->Release()); }
    IWbemObjectSink* m_sink;
};

class FakeStub : public Counted<IUnknown> {
public:
    explicit FakeStub(IWbemObjectSink* sink) : Counted("stub"), m_sink(sink) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
    {
        Log("QueryInterface stub", IdName(iid));
        *object = nullptr;
        if (g_wmi->fault == FakeWmi::Fault::StubSink || IdName(iid) != "IWbemObjectSink") {
            return E_NOINTERFACE;
        }
        auto* stubSink = new FakeStubSink(m_sink);
        g_wmi->stubSink = stubSink;
        *object = static_cast<IWbemObjectSink*>(stubSink);
        return S_OK;
    }

private:
    ~FakeStub() override { Log("stub drops sink ->", m_sink->Release()); }
    IWbemObjectSink* m_sink;  // the reference taken by QueryInterface on the sink
};

class FakeApartment : public Counted<IUnsecuredApartment> {
public:
    FakeApartment() : Counted("apartment") {}
    HRESULT STDMETHODCALLTYPE CreateObjectStub(IUnknown* object, IUnknown** stub) override
    {
        object->AddRef();
        Log("CreateObjectStub sink(" + std::to_string(object->Release()) + ")");
        g_wmi->sinkSeen = object;
        WatchDeletion(object);
        *stub = nullptr;
        if (g_wmi->fault == FakeWmi::Fault::Stub) {
            return E_OUTOFMEMORY;
        }
        if (g_wmi->fault == FakeWmi::Fault::StubMissing) {
            return S_OK;
        }
        IWbemObjectSink* sink = nullptr;
        if (FAILED(object->QueryInterface(wmi::IID_IWbemObjectSink, reinterpret_cast<void**>(&sink)))) {
            return E_NOINTERFACE;
        }
        *stub = new FakeStub(sink);
        return S_OK;
    }
};

class FakeServices : public Counted<IWbemServices> {
public:
    FakeServices() : Counted("services") {}
    HRESULT STDMETHODCALLTYPE ExecNotificationQueryAsync(const BSTR language, const BSTR query, LONG flags,
                                                         IWbemContext* context,
                                                         IWbemObjectSink* handler) override
    {
        char hexFlags[16];
        wsprintfA(hexFlags, "0x%X", static_cast<unsigned>(flags));
        Log("ExecNotificationQueryAsync", Bstr(language), Bstr(query), hexFlags, context,
            handler == g_wmi->stubSink ? "stubSink" : Word(handler));
        if (g_wmi->fault == FakeWmi::Fault::Query) {
            return FakeWmi::kRefusal;
        }
        handler->AddRef();
        g_wmi->handler = handler;
        return WBEM_S_NO_ERROR;
    }

    // clang-format off
#define NOT_USED(method, ...) HRESULT STDMETHODCALLTYPE method(__VA_ARGS__) override { return E_NOTIMPL; }
    NOT_USED(OpenNamespace, const BSTR, LONG, IWbemContext*, IWbemServices**, IWbemCallResult**)
    NOT_USED(CancelAsyncCall, IWbemObjectSink*)
    NOT_USED(QueryObjectSink, LONG, IWbemObjectSink**)
    NOT_USED(GetObject, const BSTR, LONG, IWbemContext*, IWbemClassObject**, IWbemCallResult**)
    NOT_USED(GetObjectAsync, const BSTR, LONG, IWbemContext*, IWbemObjectSink*)
    NOT_USED(PutClass, IWbemClassObject*, LONG, IWbemContext*, IWbemCallResult**)
    NOT_USED(PutClassAsync, IWbemClassObject*, LONG, IWbemContext*, IWbemObjectSink*)
    NOT_USED(DeleteClass, const BSTR, LONG, IWbemContext*, IWbemCallResult**)
    NOT_USED(DeleteClassAsync, const BSTR, LONG, IWbemContext*, IWbemObjectSink*)
    NOT_USED(CreateClassEnum, const BSTR, LONG, IWbemContext*, IEnumWbemClassObject**)
    NOT_USED(CreateClassEnumAsync, const BSTR, LONG, IWbemContext*, IWbemObjectSink*)
    NOT_USED(PutInstance, IWbemClassObject*, LONG, IWbemContext*, IWbemCallResult**)
    NOT_USED(PutInstanceAsync, IWbemClassObject*, LONG, IWbemContext*, IWbemObjectSink*)
    NOT_USED(DeleteInstance, const BSTR, LONG, IWbemContext*, IWbemCallResult**)
    NOT_USED(DeleteInstanceAsync, const BSTR, LONG, IWbemContext*, IWbemObjectSink*)
    NOT_USED(CreateInstanceEnum, const BSTR, LONG, IWbemContext*, IEnumWbemClassObject**)
    NOT_USED(CreateInstanceEnumAsync, const BSTR, LONG, IWbemContext*, IWbemObjectSink*)
    NOT_USED(ExecQuery, const BSTR, const BSTR, LONG, IWbemContext*, IEnumWbemClassObject**)
    NOT_USED(ExecQueryAsync, const BSTR, const BSTR, LONG, IWbemContext*, IWbemObjectSink*)
    NOT_USED(ExecNotificationQuery, const BSTR, const BSTR, LONG, IWbemContext*, IEnumWbemClassObject**)
    NOT_USED(ExecMethod, const BSTR, const BSTR, LONG, IWbemContext*, IWbemClassObject*, IWbemClassObject**,
             IWbemCallResult**)
    NOT_USED(ExecMethodAsync, const BSTR, const BSTR, LONG, IWbemContext*, IWbemClassObject*,
             IWbemObjectSink*)
#undef NOT_USED
    // clang-format on
};

class FakeLocator : public Counted<IWbemLocator> {
public:
    FakeLocator() : Counted("locator") {}
    HRESULT STDMETHODCALLTYPE ConnectServer(const BSTR resource, const BSTR user, const BSTR password,
                                            const BSTR locale, LONG securityFlags, const BSTR authority,
                                            IWbemContext* context, IWbemServices** services) override
    {
        Log("ConnectServer", Bstr(resource), user, password, locale, securityFlags, authority, context);
        *services = nullptr;
        if (g_wmi->fault == FakeWmi::Fault::Connect) {
            return WBEM_E_INVALID_NAMESPACE;
        }
        *services = new FakeServices;
        g_wmi->services = *services;
        return WBEM_S_NO_ERROR;
    }
};

HRESULT WINAPI FakeInitializeEx(void* reserved, DWORD flags)
{
    Log("CoInitializeEx", reserved, flags);
    return g_wmi->initializeResult;
}

HRESULT WINAPI FakeInitializeSecurity(PSECURITY_DESCRIPTOR descriptor, LONG services,
                                      SOLE_AUTHENTICATION_SERVICE* serviceList, void* reserved1, DWORD level,
                                      DWORD impersonation, void* authenticationList, DWORD capabilities,
                                      void* reserved3)
{
    Log("CoInitializeSecurity", descriptor, services, serviceList, reserved1, level, impersonation,
        authenticationList, capabilities, reserved3);
    return S_OK;
}

HRESULT WINAPI FakeCreateInstance(REFCLSID classId, IUnknown* outer, DWORD context, REFIID iid, void** object)
{
    const std::string name = IdName(classId);
    Log("CoCreateInstance", name, outer, context, IdName(iid));
    *object = nullptr;
    if (name == "WbemLocator" && g_wmi->fault != FakeWmi::Fault::Locator) {
        *object = static_cast<IWbemLocator*>(new FakeLocator);
        return S_OK;
    }
    if (name == "UnsecuredApartment" && g_wmi->fault != FakeWmi::Fault::Apartment) {
        *object = static_cast<IUnsecuredApartment*>(new FakeApartment);
        return S_OK;
    }
    return REGDB_E_CLASSNOTREG;
}

HRESULT WINAPI FakeSetProxyBlanket(IUnknown* proxy, DWORD authentication, DWORD authorisation,
                                   OLECHAR* principal, DWORD level, DWORD impersonation,
                                   RPC_AUTH_IDENTITY_HANDLE identity, DWORD capabilities)
{
    Log("CoSetProxyBlanket", std::string(proxy == g_wmi->services ? "services" : "other"), authentication,
        authorisation, principal, level, impersonation, identity, capabilities);
    return g_wmi->fault == FakeWmi::Fault::Blanket ? E_ACCESSDENIED : S_OK;
}

void WINAPI FakeUninitialize()
{
    Log("CoUninitialize");
}

}  // namespace

FakeWmi::FakeWmi(Fault fault, HRESULT initialize) : fault(fault), initializeResult(initialize)
{
    g_wmi = this;
    g_comRuntime.initializeEx = &FakeInitializeEx;
    g_comRuntime.initializeSecurity = &FakeInitializeSecurity;
    g_comRuntime.createInstance = &FakeCreateInstance;
    g_comRuntime.setProxyBlanket = &FakeSetProxyBlanket;
    g_comRuntime.uninitialize = &FakeUninitialize;
}

FakeWmi::~FakeWmi()
{
    DropHandler();
    g_comRuntime = ComRuntime{};
    g_wmi = nullptr;
}

std::vector<std::string> FakeWmi::Journal() const
{
    std::lock_guard<std::mutex> hold(m_lock);
    return m_journal;
}

void FakeWmi::Log(std::string entry)
{
    std::lock_guard<std::mutex> hold(m_lock);
    m_journal.push_back(std::move(entry));
}

void FakeWmi::DropHandler()
{
    if (IWbemObjectSink* held = std::exchange(handler, nullptr)) {
        held->Release();
    }
}
