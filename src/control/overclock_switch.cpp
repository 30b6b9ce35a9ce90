#include "control/overclock_switch.h"

// The driver interface is not there yet; until it is, switching changes nothing.
void EnableOverclock() {}

void DisableOverclock() {}
