// The start-up check that an NVIDIA driver and GPU are there.
#pragma once

#include "gpu/nvapi.h"

inline constexpr wchar_t kNoNvidiaMessage[] = L"Your system doesn't have NVIDIA graphic chipset";

// Initialises the driver and enumerates the GPUs; false means the program must not run.
bool PassesGpuCheck(NvApi& driver);
