// Connections to the firmware service's pipes. The pipes carry the firmware's word and the program acts
// on it (it drives the GPU's private entries), so only the real service is believed, told by who made
// the pipe: the system's own accounts (LocalSystem, LocalService, NetworkService) or the Administrators
// group, as a service's or an elevated process's pipe is owned; or the user this program runs as, at
// the same or a higher integrity level (a simulator the user runs). A pipe of anyone else, another
// user's scheduled task in session 0 or a sandboxed process that took the name while the service was
// away, is no service at all.
#pragma once

#include <windows.h>

#include <aclapi.h>

#include "firmware/pipe_client.h"

// Reads a pipe's owner and mandatory label, as GetSecurityInfo does. Tests that play another owner put a
// fake in its place; the program never changes it.
using SecurityInfoReader = DWORD(WINAPI*)(HANDLE object, SE_OBJECT_TYPE type, SECURITY_INFORMATION wanted,
                                          PSID* owner, PSID* group, PACL* dacl, PACL* sacl,
                                          PSECURITY_DESCRIPTOR* descriptor);
extern SecurityInfoReader g_getSecurityInfo;

// Connects as PipeClient::Connect does and keeps the connection only when the service made the pipe:
// an untrusted pipe, or one whose owner cannot be read, fails as a missing pipe does.
PipeClient ConnectToService(const wchar_t* name, ULONGLONG deadline, HANDLE abortEvent);

// Whether the pipe is the service's, by the rule above.
bool IsServicePipe(HANDLE pipe);
