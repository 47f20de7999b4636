#pragma once

#include <QCoro/QCoroTask>
#include <QObject>
#include <QPointer>

#include <deque>
#include <memory>

class Profile;

// Lets one profile operation (an apply, a reading of the current settings) touch the system at a
// time. Operations take turns in the order in which they asked: two profiles are never applied
// interleaved, and a reading never sees a half-applied profile.
class ProfileOperationQueue : public QObject
{
    Q_OBJECT

public:
    // Held for the length of one operation; the next one starts when it is released.
    class Turn
    {
    public:
        ~Turn();
        Turn(const Turn &) = delete;
        Turn &operator=(const Turn &) = delete;

    private:
        friend class ProfileOperationQueue;
        explicit Turn(ProfileOperationQueue *queue);
        QPointer<ProfileOperationQueue> m_queue;
    };

    // Whether a person started the operation and may be asked a question while it runs. Operations
    // that a script, the command line, the scripting service or the schedule started are unattended:
    // they ask nothing and take the answer that loses nothing instead.
    enum class Attendance { attended, unattended };

    static ProfileOperationQueue &shared();

    // Says that an apply of `profile` is about to ask for its turn, before it asks: what an earlier
    // apply still waits on that this one will replace (a picture being decoded) may end at once.
    void announceApply(Profile *profile) { emit applyAnnounced(profile); }

    // Waits until every operation that asked earlier has finished.
    QCoro::Task<std::shared_ptr<Turn>> waitForTurn(Attendance attendance = Attendance::attended);

    // Whether the operation that holds the queue now is unattended; what it reaches (option models,
    // relaunches) then shows no modal question.
    bool isUnattended() const { return m_busy && m_unattended; }

    // Whether an operation holds the queue or waits for it.
    bool isBusy() const { return m_busy || !m_waiting.empty(); }

    // For the program's end, which waits for no apply: from now on an apply under way stops after the
    // option it is at, and one that waits for its turn applies nothing.
    void endApplies() { m_appliesEnded = true; }
    bool appliesEnded() const { return m_appliesEnded; }

signals:
    void granted(quint64 ticket);
    void applyAnnounced(Profile *profile);

private:
    void release();

    bool m_busy = false;
    bool m_unattended = false;
    bool m_appliesEnded = false;
    quint64 m_nextTicket = 0;
    std::deque<quint64> m_waiting;
};
