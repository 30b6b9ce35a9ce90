#include "brightness/com_runtime.h"

ComRuntime g_comRuntime;
