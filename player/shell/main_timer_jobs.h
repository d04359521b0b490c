#pragma once
// What the main command timer carries out when no command waits for it: the
// resume of a sorted playlist once it is loaded again (the next song plays),
// and the stop that a save asks for. One object keeps the sequence, so that
// no one else sets its steps by hand.

namespace qpt {

class MainTimerJobs {
public:
    enum class Due { Nothing, Resume, Stop };

    // A sort emptied the list: once it is back, play on.
    void resumeWhenReloaded() { m_resume = Resume::Waiting; }
    // The sorted list is loaded; true when a resume now falls due.
    bool reloaded();
    // Save PlayList (any button): a resume waiting is forgotten.
    void forgetResume() { m_resume = Resume::None; }
    // A sort whose list is not back yet.
    bool sortUnderWay() const { return m_resume != Resume::None; }
    void requestStop() { m_stop = true; }

    // The job for a tick that found no command, taken.
    Due take();
    // The interval for the timer after a tick that ran commands: what fell
    // due meanwhile comes at the next tick, not after some later command.
    int followUpMs() const;

    static constexpr int kResumeMs = 500;
    static constexpr int kStopMs = 10;

private:
    enum class Resume { None, Waiting, Due };
    Resume m_resume = Resume::None;
    bool m_stop = false;
};

}  // namespace qpt
