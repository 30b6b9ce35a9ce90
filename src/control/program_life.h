// The program's life around the controller: start-up's GPU check and what follows it, the tray menu and
// the About boxes, the shutdown and a fault. It moves the phase; every decision asks it first.
#pragma once

#include "control/overclock_switch.h"
#include "control/program_phase.h"
#include "control/window_effects.h"
#include "gpu/nvapi.h"

class ProgramLife {
public:
    ProgramLife(ProgramPhase& phase, NvApi& driver, OverclockSwitch& overclock, WindowEffects& window);

    // Another instance holds the program's name: this one leaves quietly and switches nothing.
    void OnAnotherInstance();
    // Start-up's second half, after the firmware subscription: the GPU check, then the initial state,
    // or the refusal, from which nothing is switched and no other box opens until the process ends.
    void CheckGpuAndStart();

    // A right click on the tray icon, the tray's About and the system menu's: only while running.
    void OnTrayMenuRequest();
    void OnTrayAbout();
    void OnSystemAbout();

    // The end of the session or the window's destruction: the switch-off, once. True the first time,
    // when the caller is to give back what start-up took.
    bool Shutdown();
    // An unhandled fault: one switch-off, unless the program refused to run or has shut down.
    void OnFault();

private:
    ProgramPhase& m_phase;
    NvApi& m_driver;
    OverclockSwitch& m_switch;
    WindowEffects& m_window;
};
