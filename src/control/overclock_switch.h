// The switch-on and switch-off sequences: the GPU's overclocked mode and the firmware's copy of it
// are changed together. Every input that switches calls one of these two.
#pragma once

void EnableOverclock();
void DisableOverclock();
