// The sink on its own: interface identity, reference counting across threads, and what each event
// and status report turns into.
#include "brightness/event_sink.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "brightness/wmi_identifiers.h"
#include "brightness_test_support.h"
#include "fake_event_object.h"
#include "recording_window.h"

namespace {

// A sink with the creator's reference taken, as the watcher holds it.
EventSink* NewSink(const std::atomic<HWND>& target)
{
    auto* sink = new EventSink(target);
    EXPECT_EQ(sink->AddRef(), 1u);
    return sink;
}

// The count, read without changing it.
ULONG CountOf(EventSink* sink)
{
    sink->AddRef();
    return sink->Release();
}

TEST(EventSink, QueryInterfaceAcceptsExactlyTheTwoIdentities)
{
    // Near misses differ in the last byte only, so a comparison of fewer than 16 bytes accepts them.
    GUID nearUnknown = wmi::IID_IUnknown;
    nearUnknown.Data4[7] ^= 1;
    GUID nearSink = wmi::IID_IWbemObjectSink;
    nearSink.Data4[7] ^= 1;
    const struct {
        const GUID& iid;
        HRESULT result;
    } cases[] = {
        {wmi::IID_IUnknown, S_OK}, {wmi::IID_IWbemObjectSink, S_OK},       {nearUnknown, E_NOINTERFACE},
        {nearSink, E_NOINTERFACE}, {wmi::IID_IWbemLocator, E_NOINTERFACE},
    };
    std::atomic<HWND> target{nullptr};
    EventSink* sink = NewSink(target);
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        void* object = &target;  // anything but null, to see it overwritten
        EXPECT_EQ(sink->QueryInterface(c.iid, &object), c.result);
        EXPECT_EQ(object, c.result == S_OK ? static_cast<IWbemObjectSink*>(sink) : nullptr);
        EXPECT_EQ(CountOf(sink), c.result == S_OK ? 2u : 1u);
        if (c.result == S_OK) {
            sink->Release();
        }
    }
    EXPECT_EQ(sink->QueryInterface(wmi::IID_IUnknown, nullptr), E_POINTER);
    EXPECT_EQ(CountOf(sink), 1u);
    sink->Release();
}

TEST(EventSink, TheLastReleaseDeletesAndReturnsZero)
{
    std::atomic<HWND> target{nullptr};
    EventSink* sink = NewSink(target);
    WatchDeletion(sink);
    EXPECT_EQ(sink->AddRef(), 2u);
    EXPECT_EQ(sink->Release(), 1u);
    EXPECT_FALSE(WasDeleted());
    EXPECT_EQ(sink->Release(), 0u);
    EXPECT_TRUE(WasDeleted());
}

TEST(EventSink, CountStaysExactUnderConcurrentAddRefAndRelease)
{
    constexpr int kThreads = 8;
    constexpr int kRounds = 20000;
    std::atomic<HWND> target{nullptr};
    EventSink* sink = NewSink(target);
    const auto onThreads = [](auto work) {
        std::vector<std::thread> threads;
        for (int i = 0; i < kThreads; ++i) {
            threads.emplace_back(work);
        }
        for (auto& thread : threads) {
            thread.join();
        }
    };
    onThreads([sink] {
        for (int i = 0; i < kRounds; ++i) {
            sink->AddRef();
        }
    });
    EXPECT_EQ(CountOf(sink), 1u + kThreads * kRounds);
    onThreads([sink] {
        for (int i = 0; i < kRounds; ++i) {
            sink->AddRef();
            sink->Release();
            sink->Release();
        }
    });
    WatchDeletion(sink);
    EXPECT_EQ(CountOf(sink), 1u);
    EXPECT_EQ(sink->Release(), 0u);
    EXPECT_TRUE(WasDeleted());
}

TEST(EventSink, IndicateSendsTheFirstBrightnessOnceAndWritesALinePerObject)
{
    const HRESULT notFound = WBEM_E_NOT_FOUND;  // 0x80041002
    const std::string failedLine = "Event occurred the Value = " + std::to_string(notFound) + "\n";
    const std::string line = "Event occurred the Value = 0\n";
    struct Case {
        std::vector<FakeEventObject> batch;
        bool windowSet;
        std::vector<WPARAM> sent;
        std::string output;
    };
    Case cases[] = {
        {{FakeEventObject(40), FakeEventObject(7), FakeEventObject(9)}, true, {40}, line + line + line},
        {{FakeEventObject(255)}, true, {255}, line},  // zero-extended, never sign-extended
        {{FakeEventObject(40, notFound)}, true, {0}, failedLine},
        {{}, true, {}, ""},
        {{FakeEventObject(40)}, false, {}, line},  // the window is going away: nothing is sent
    };
    for (auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        RecordingWindow window;
        std::atomic<HWND> target{c.windowSet ? window.Get() : nullptr};
        EventSink* sink = NewSink(target);
        std::vector<IWbemClassObject*> batch;
        for (auto& object : c.batch) {
            batch.push_back(&object);
        }
        HRESULT result = E_FAIL;
        StdoutCapture output;
        const bool ended = RunOnWorker([&] {
            result = sink->Indicate(static_cast<LONG>(batch.size()), batch.empty() ? nullptr : batch.data());
        });
        const std::string written = output.Finish();
        EXPECT_TRUE(ended);
        EXPECT_EQ(result, WBEM_S_NO_ERROR);
        EXPECT_EQ(written, c.output);
        std::vector<WPARAM> sent;
        for (const auto& message : window.Messages()) {
            sent.push_back(message.wParam);
            EXPECT_EQ(message.lParam, 0);
            EXPECT_TRUE(message.sentFromAnotherThread);
        }
        EXPECT_EQ(sent, c.sent);
        for (std::size_t i = 0; i < c.batch.size(); ++i) {
            EXPECT_EQ(c.batch[i].reads, i == 0 ? std::vector<std::string>{"Brightness 0 empty null null"}
                                               : std::vector<std::string>{})
                << i;
        }
        sink->Release();
    }
    // Batches that claim objects without having them: no array is read; a missing first object
    // is a failed read, so the window still hears of it.
    RecordingWindow window;
    std::atomic<HWND> target{window.Get()};
    EventSink* sink = NewSink(target);
    IWbemClassObject* missing[] = {nullptr};
    StdoutCapture output;
    const HRESULT noArray = sink->Indicate(2, nullptr);
    const HRESULT noObject = sink->Indicate(1, missing);
    EXPECT_EQ(output.Finish(), "Event occurred the Value = " +
                                   std::to_string(static_cast<HRESULT>(WBEM_E_INVALID_PARAMETER)) + "\n");
    EXPECT_EQ(noArray, WBEM_S_NO_ERROR);
    EXPECT_EQ(noObject, WBEM_S_NO_ERROR);
    ASSERT_EQ(window.Messages().size(), 1u);
    EXPECT_EQ(window.Messages()[0].wParam, 0u);
    sink->Release();
}

TEST(EventSink, SetStatusWritesOnlyCompletionAndProgress)
{
    const struct {
        LONG flags;
        HRESULT status;
        const char* output;
    } cases[] = {
        {WBEM_STATUS_COMPLETE, WBEM_S_NO_ERROR, "Call complete. hResult = 0x0\n"},
        {WBEM_STATUS_COMPLETE, static_cast<HRESULT>(WBEM_E_NOT_SUPPORTED),
         "Call complete. hResult = 0x8004100C\n"},
        {WBEM_STATUS_PROGRESS, WBEM_S_NO_ERROR, "Call in progress.\n"},
        {WBEM_STATUS_REQUIREMENTS, WBEM_S_NO_ERROR, ""},
    };
    std::atomic<HWND> target{nullptr};
    EventSink* sink = NewSink(target);
    for (const auto& c : cases) {
        StdoutCapture output;
        const HRESULT result = sink->SetStatus(c.flags, c.status, nullptr, nullptr);
        EXPECT_EQ(output.Finish(), c.output) << c.flags;
        EXPECT_EQ(result, WBEM_S_NO_ERROR) << c.flags;
    }
    sink->Release();
}

}  // namespace
