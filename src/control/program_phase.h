// The one answer to "may the program act now?": where it is in its life. Every input handler and both
// switch sequences ask it; nothing else keeps such a state.
#pragma once

enum class Phase {
    Starting,  // made, until start-up has passed the GPU check
    Refusing,  // another instance runs, or the GPU check failed: nothing is switched until the process ends
    Running,   // inputs act
    Ending,    // asked to end: only the endings' switch-offs run; nothing waits, and no box opens
    Ended,     // the shutdown ran: the icon is gone, the name given back; nothing acts any more
};

class ProgramPhase {
public:
    Phase Current() const { return m_phase; }

    // Inputs act, wait and open boxes or the menu only while the program runs.
    bool Running() const { return m_phase == Phase::Running; }
    // Switching off is for a running program and for the endings of one that ran or was starting.
    bool MaySwitchOff() const { return m_phase == Phase::Running || m_phase == Phase::Ending; }

    // Start-up's two ways on; from Starting only.
    void Refuse() { Move(Phase::Starting, Phase::Refusing); }
    void Run() { Move(Phase::Starting, Phase::Running); }
    // A refusing program stays refusing to its end, and an ended one ended.
    void End()
    {
        if (m_phase == Phase::Starting || m_phase == Phase::Running) {
            m_phase = Phase::Ending;
        }
    }
    void Finish() { m_phase = Phase::Ended; }

private:
    void Move(Phase from, Phase to) { m_phase = m_phase == from ? to : m_phase; }

    Phase m_phase = Phase::Starting;
};
