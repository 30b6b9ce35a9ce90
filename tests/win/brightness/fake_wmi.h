// Stand-ins for WMI as the brightness watcher meets it: the COM library calls, the locator, the
// services object, the unsecured apartment and its stubs. Each call goes into a journal with its
// arguments, so that tests assert the exact order of creations, calls and releases.
#pragma once

#include <windows.h>

#include <wbemcli.h>

#include <mutex>
#include <string>
#include <vector>

class FakeWmi {
public:
    // The step that fails. StubMissing succeeds without handing out a stub.
    enum class Fault { None, Locator, Connect, Blanket, Apartment, Stub, StubMissing, StubSink, Query };

    // What a refused query answers (upper-case letters in hexadecimal).
    static constexpr HRESULT kRefusal = static_cast<HRESULT>(0x8004100C);

    // Takes the place of the COM library calls until destroyed; CoInitializeEx answers `initialize`.
    explicit FakeWmi(Fault fault = Fault::None, HRESULT initialize = S_OK);
    ~FakeWmi();
    FakeWmi(const FakeWmi&) = delete;
    FakeWmi& operator=(const FakeWmi&) = delete;

    std::vector<std::string> Journal() const;
    void Log(std::string entry);
    // Lets go of the subscription's handler, as WMI does when the process ends.
    void DropHandler();

    const Fault fault;
    const HRESULT initializeResult;
    // Filled in by the fakes as the watcher obtains them.
    IUnknown* services = nullptr;
    IUnknown* stubSink = nullptr;
    IUnknown* sinkSeen = nullptr;        // what the watcher handed to CreateObjectStub
    IWbemObjectSink* handler = nullptr;  // the subscription's handler, held as WMI holds it

private:
    mutable std::mutex m_lock;
    std::vector<std::string> m_journal;
};
