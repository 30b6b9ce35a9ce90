#include "gpu/gpu_check.h"

bool PassesGpuCheck(NvApi& driver)
{
    return driver.NvAPI_Initialize() == NVAPI_OK && driver.EnumerateGpus();
}
