#include "firmware_sim/pipe_listener.h"

#include <sddl.h>

#include <cstdio>
#include <system_error>
#include <vector>

#include "firmware/firmware_pipes.h"

namespace firmware_sim {
namespace {

constexpr DWORD kBufferSize = 4096;
// How soon an instance that could not be created or armed is tried again.
constexpr DWORD kRetryMs = 100;

// The SID of this process's user or of its integrity level, as text; empty when it cannot be read.
std::wstring OwnSid(TOKEN_INFORMATION_CLASS kind)
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return {};
    const UniqueHandle owner(token);
    BYTE record[256];
    DWORD size = 0;
    wchar_t* text = nullptr;
    if (!GetTokenInformation(token, kind, record, sizeof(record), &size))
        return {};
    const PSID sid = kind == TokenUser ? reinterpret_cast<TOKEN_USER*>(record)->User.Sid
                                       : reinterpret_cast<TOKEN_MANDATORY_LABEL*>(record)->Label.Sid;
    if (!ConvertSidToStringSidW(sid, &text))
        return {};
    const LocalMemory held(text);
    return text;
}

// The pipes' owner is this process's user and their label its integrity level, as Windows makes a
// user's pipe (the level implicitly at medium); Wine records neither unless told, and the program
// believes only a pipe whose maker it can read. The access is the system's default.
void* OwnPipeSecurity()
{
    const std::wstring sddl =
        L"O:" + OwnSid(TokenUser) + L"S:(ML;;NW;;;" + OwnSid(TokenIntegrityLevel) + L")";
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &descriptor,
                                                              nullptr))
        std::fprintf(stderr, "firmware_sim: the pipes get the default security (error %lu)\n",
                     GetLastError());
    return descriptor;
}

}  // namespace

PipeListener::PipeListener(std::wstring name, Handler handler)
    : name_(std::move(name)),
      handler_(std::move(handler)),
      security_(OwnPipeSecurity()),
      quit_event_(MakeManualResetEvent())
{
    for (Slot& slot : slots_)
        slot.connected = MakeManualResetEvent();
}

PipeListener::~PipeListener()
{
    Stop();
}

bool PipeListener::Start()
{
    std::lock_guard lock(state_mutex_);
    if (accepting_)
        return true;
    // Wine ignores FILE_FLAG_FIRST_PIPE_INSTANCE, so look for another server first.
    if (WaitNamedPipeW(name_.c_str(), 1) || GetLastError() != ERROR_FILE_NOT_FOUND)
        return false;
    slots_[0].pipe = CreateInstance(true);
    if (!slots_[0].pipe)
        return false;
    for (std::size_t i = 1; i < slots_.size(); ++i)
        slots_[i].pipe = CreateInstance(false);
    ResetEvent(quit_event_.Get());
    accept_thread_ = std::thread([this] { AcceptLoop(); });
    accepting_ = true;
    return true;
}

void PipeListener::Pause()
{
    std::lock_guard lock(state_mutex_);
    if (!accepting_)
        return;
    SetEvent(quit_event_.Get());
    accept_thread_.join();
    accepting_ = false;
}

void PipeListener::Resume()
{
    std::lock_guard lock(state_mutex_);
    if (accepting_)
        return;
    // Our own connections may still be open, so this is not the first instance; one that cannot be
    // created now is tried again by the accept loop.
    for (Slot& slot : slots_)
        slot.pipe = CreateInstance(false);
    ResetEvent(quit_event_.Get());
    accept_thread_ = std::thread([this] { AcceptLoop(); });
    accepting_ = true;
}

void PipeListener::Stop()
{
    Pause();
    JoinHandlers(false);
}

UniqueHandle PipeListener::CreateInstance(bool first_instance) const
{
    DWORD open_mode =
        PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | (first_instance ? FILE_FLAG_FIRST_PIPE_INSTANCE : 0);
    DWORD pipe_mode = PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS;
    SECURITY_ATTRIBUTES security{sizeof(SECURITY_ATTRIBUTES), security_.get(), FALSE};
    return UniqueHandle(CreateNamedPipeW(name_.c_str(), open_mode, pipe_mode, PIPE_UNLIMITED_INSTANCES,
                                         kBufferSize, kBufferSize, firmware_pipes::kConnectTimeoutMs,
                                         &security));
}

// Runs on the accept thread only: Windows cancels a thread's pending I/O when that thread exits.
void PipeListener::Listen(Slot& slot)
{
    slot.overlapped = OVERLAPPED{};
    slot.overlapped.hEvent = slot.connected.Get();
    slot.already_connected = false;
    ResetEvent(slot.connected.Get());
    if (ConnectNamedPipe(slot.pipe.Get(), &slot.overlapped))
        return;
    switch (GetLastError()) {
        case ERROR_IO_PENDING:
            return;
        case ERROR_PIPE_CONNECTED:  // a client came between creating and arming
            slot.already_connected = true;
            SetEvent(slot.connected.Get());
            return;
        default:  // e.g. the client came and went already: drop the instance, a new one follows
            slot.pipe.Reset();
            return;
    }
}

void PipeListener::CloseSlot(Slot& slot)
{
    if (!slot.pipe)
        return;
    if (!slot.already_connected) {
        DWORD ignored;
        CancelIoEx(slot.pipe.Get(), &slot.overlapped);
        GetOverlappedResult(slot.pipe.Get(), &slot.overlapped, &ignored, TRUE);
    }
    DisconnectNamedPipe(slot.pipe.Get());
    slot.pipe.Reset();
}

void PipeListener::AcceptLoop()
{
    for (Slot& slot : slots_) {
        if (slot.pipe)
            Listen(slot);
    }
    while (true) {
        std::vector<HANDLE> waits = {quit_event_.Get()};
        std::vector<Slot*> waited;
        for (Slot& slot : slots_) {
            if (!slot.pipe) {
                slot.pipe = CreateInstance(false);
                if (slot.pipe)
                    Listen(slot);
            }
            if (slot.pipe) {
                waits.push_back(slot.connected.Get());
                waited.push_back(&slot);
            }
        }
        bool missing = waited.size() < slots_.size();
        DWORD signalled = WaitForMultipleObjects(static_cast<DWORD>(waits.size()), waits.data(), FALSE,
                                                 missing ? kRetryMs : INFINITE);
        if (signalled == WAIT_OBJECT_0)
            break;
        if (signalled > WAIT_OBJECT_0 && signalled < WAIT_OBJECT_0 + waits.size()) {
            Slot& slot = *waited[signalled - WAIT_OBJECT_0 - 1];
            DWORD ignored;
            bool connected = slot.already_connected ||
                             GetOverlappedResult(slot.pipe.Get(), &slot.overlapped, &ignored, FALSE) ||
                             GetLastError() == ERROR_PIPE_CONNECTED;
            UniqueHandle pipe = std::move(slot.pipe);
            // The replacement listens before the connected instance is handed on.
            slot.pipe = CreateInstance(false);
            if (slot.pipe)
                Listen(slot);
            if (connected)
                Dispatch(std::move(pipe));
            JoinHandlers(true);
        } else if (signalled == WAIT_FAILED) {
            std::fprintf(stderr, "firmware_sim: waiting for clients failed (%lu)\n", GetLastError());
            Sleep(kRetryMs);
        }
    }
    for (Slot& slot : slots_)
        CloseSlot(slot);
}

void PipeListener::Dispatch(UniqueHandle pipe)
{
    auto finished = std::make_shared<std::atomic<bool>>(false);
    std::thread thread;
    try {
        thread = std::thread([this, pipe = std::move(pipe), finished]() mutable {
            handler_(PipeConnection(std::move(pipe), true));
            finished->store(true);
        });
    } catch (const std::system_error&) {
        // Out of threads: this client is dropped (its instance closes) and the service goes on.
        std::fprintf(stderr, "firmware_sim: no thread for a client\n");
        return;
    }
    std::lock_guard lock(handlers_mutex_);
    handlers_.push_back(HandlerThread{std::move(thread), std::move(finished)});
}

void PipeListener::JoinHandlers(bool finished_only)
{
    std::list<HandlerThread> joining;
    {
        std::lock_guard lock(handlers_mutex_);
        for (auto it = handlers_.begin(); it != handlers_.end();) {
            auto next = std::next(it);
            if (!finished_only || it->finished->load())
                joining.splice(joining.end(), handlers_, it);
            it = next;
        }
    }
    for (HandlerThread& handler : joining)
        handler.thread.join();
}

}  // namespace firmware_sim
