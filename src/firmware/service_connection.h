// Connections to the firmware service's pipes. The pipes carry the firmware's word and the program acts
// on it (it drives the GPU's private entries), so only the real service is believed: a process in
// session 0 (a service), or one of the user's own at the same or a higher integrity level (a simulator
// the user runs). Any other process that serves the name, one that took it while the service was away
// say, is no service at all.
#pragma once

#include <windows.h>

#include <optional>

#include "firmware/pipe_client.h"

// What the program knows of the process at the other end of a pipe.
struct PipeServer {
    DWORD session = 0;
    bool sameUser = false;  // runs as the user this process runs as
    DWORD integrity = 0;    // the mandatory integrity level's RID, SECURITY_MANDATORY_MEDIUM_RID for example
};

// Reads who serves the pipe; nothing when that cannot be told. Tests that play another server put a
// fake in its place; the program never changes it.
using PipeServerReader = std::optional<PipeServer> (*)(HANDLE pipe);
extern PipeServerReader g_readPipeServer;

// Connects as PipeClient::Connect does and keeps the connection only when the service serves it: an
// untrusted server fails as a missing pipe does.
PipeClient ConnectToService(const wchar_t* name, ULONGLONG deadline, HANDLE abortEvent);

// The integrity level of this process's token; 0 when it cannot be read.
DWORD OwnIntegrityLevel();
