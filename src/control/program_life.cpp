#include "control/program_life.h"

#include "gpu/gpu_check.h"

ProgramLife::ProgramLife(ProgramPhase& phase, NvApi& driver, OverclockSwitch& overclock,
                         WindowEffects& window)
    : m_phase(phase), m_driver(driver), m_switch(overclock), m_window(window)
{
}

void ProgramLife::OnAnotherInstance()
{
    m_phase.Refuse();
    m_window.EndModalLoop();
}

void ProgramLife::CheckGpuAndStart()
{
    if (m_phase.Current() != Phase::Starting) {
        return;
    }
    if (!PassesGpuCheck(m_driver)) {
        // The driver may be initialised and the GPU enumerated (the check failed later), so an event
        // handled inside the box's loop could overclock a GPU that nothing would switch off again.
        m_phase.Refuse();
        m_window.ShowRefusalPumping();
        m_window.LeaveRefused();
        return;
    }
    m_phase.Run();
    m_switch.ApplyInitialState();
}

void ProgramLife::OnTrayMenuRequest()
{
    if (m_phase.Running()) {
        m_window.TrackTrayMenuPumping();
    }
}

void ProgramLife::OnTrayAbout()
{
    if (m_phase.Running()) {
        m_window.ShowAboutBoxPumping();
    }
}

void ProgramLife::OnSystemAbout()
{
    if (m_phase.Running()) {
        m_window.ShowModalAboutBoxPumping();
    }
}

bool ProgramLife::Shutdown()
{
    if (m_phase.Current() == Phase::Ended) {
        return false;
    }
    m_switch.OnDestroy();
    // Before the caller takes the icon away: that call waits for the shell, and an ending sent
    // meanwhile finds the shutdown done.
    m_phase.Finish();
    return true;
}

void ProgramLife::OnFault()
{
    m_switch.OnDestroy();
}
