// One request/reply exchange with the firmware service.
#pragma once

// Sends the request buffer and waits for the answer. Returns non-zero exactly when one whole answer
// arrived, fits replySize and carries a NUL within the bytes received; then the reply buffer holds
// it. Returns 0 otherwise (service unreachable within 1 s, closed without answer, answer too long or
// without NUL, whole exchange longer than 2 s), and then the reply buffer starts with a NUL. Blocks
// the calling thread for at most that bound.
extern "C" int ORV_CallNamePipe(const char* request, int requestSize, char* reply, int replySize);
