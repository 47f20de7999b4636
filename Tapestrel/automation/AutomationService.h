#pragma once

#include <QCoro/QCoroTask>
#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QPromise>
#include <QString>
#include <QVariantMap>

#include <functional>
#include <memory>

class ModelContext;
class Profile;
class SelectionModel;

// The running program's scripting interface on the session bus: other programs and the
// `tapestrel` command line apply, create and list profiles through it, and the desktop's focus
// modes apply theirs. Every method answers only when its work is done, so a script can rely on the
// profile being applied (or created) when the call returns. Nobody may be there to answer a question
// for a script: what the methods start asks none (see ProfileOperationQueue::Attendance).
class AutomationService
    : public QObject
    , protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.quorvane.Tapestrel")

public:
    static const QString serviceName; // "com.quorvane.Tapestrel"
    static const QString objectPath; // "/com/quorvane/Tapestrel"
    static const QString interfaceName; // "com.quorvane.Tapestrel"
    // Error names the methods reply with.
    static const QString unknownProfileError;
    static const QString ambiguousProfileError;
    static const QString invalidArgumentError;
    static const QString failedError;
    // The profile was applied but some of its settings could not be changed (or it was deleted
    // before all of them were); the message names each one.
    static const QString partlyAppliedError;

    // Where profiles are looked up and created; asked on every call, as the program's store may be
    // replaced (a data reset).
    using ContextSource = std::function<ModelContext *()>;

    // A new profile is selected in `selection` when given.
    explicit AutomationService(ContextSource context, SelectionModel *selection = nullptr,
                               QObject *parent = nullptr);
    explicit AutomationService(ModelContext *context, SelectionModel *selection = nullptr,
                               QObject *parent = nullptr);

    // The running program's service over the store `context` gives, on the session bus. Without a
    // bus, or when another program holds the name, it is logged and the program runs on without it.
    static std::unique_ptr<AutomationService> startForProgram(ContextSource context,
                                                              SelectionModel *selection);

    // Exports the methods and takes the bus name. False, with the reason, when the name belongs to
    // another process already.
    bool registerOn(QDBusConnection connection, const QString &service = serviceName,
                    QString *error = nullptr);

    // Some request has been taken and not answered yet.
    bool isAnswering() const { return !m_taken.isEmpty(); }
    // Some request that stores the user's data (a new profile) has been taken and not answered yet.
    bool isStoring() const;
    // Returns once no such request waits for its answer.
    QCoro::Task<void> storesOver();
    // For the program's end, which waits only for what stores: answers every other request taken as
    // not done (ended), and from now on every request at once so.
    void endRequests();
    // For the program's end, before what is not stored yet is stored for the last time: takes back
    // the profiles still being made (what they hold so far is nobody's), so that the store never holds
    // a profile whose script is told it was not made.
    void withdrawUnfinished();
    // For the program's end, when no event loop will run again: answers each request still taken (a
    // profile made and stored as made, anything else as not done), and returns once the bus has every
    // answer sent. Also done when the service is destroyed.
    void answerTheRest();
    // For the program's last moments, after answerTheRest(): a call that comes still is answered as not
    // done (endedText()), on a thread of its own, as no event loop runs for the service any more.
    void answerLateCallsAsEnded();
    ~AutomationService() override;

    // What a request the program ended before it was done is answered, with failedError.
    static QString endedText();

public slots:
    // Applies the profile with this uuid and remembers it as the last applied one. Where no profile
    // has this uuid, the only profile with this name is applied (a person picks profiles by name).
    // When a setting could not be changed, the others are still applied and the answer is the
    // error partlyAppliedError, whose message lists what failed.
    Q_SCRIPTABLE void ApplyProfile(const QString &id);
    // Creates a profile from the current settings; answers {"id", "name"} once it is filled.
    Q_SCRIPTABLE QVariantMap CreateProfile(const QString &name);
    // Every profile as {"id", "name"}, in the store's order.
    Q_SCRIPTABLE QList<QVariantMap> ListProfiles();
    // A focus mode turned on: applies its profile without remembering it, or, with an empty id, the
    // last applied profile again.
    Q_SCRIPTABLE void FocusChanged(const QString &id);
    // Shows the main window with the profile selected.
    Q_SCRIPTABLE void ShowProfile(const QString &id);

private:
    // A call whose answer comes later. Shared by the service and the work that answers it: whichever
    // answers first does; the other finds it answered.
    struct Taken
    {
        QPointer<AutomationService> service;
        QDBusConnection connection {QString()};
        QDBusMessage call;
        // A create: the end waits for it, as it stores a profile.
        bool stores = false;
        // What a create has inserted (at once, filled in the while), what it has made (once filled),
        // and where.
        QPointer<Profile> inserted;
        QPointer<Profile> created;
        QPointer<ModelContext> context;
        bool answered = false;
    };
    enum class Kind { applies, stores };
    std::shared_ptr<Taken> take(Kind kind);
    // Once the end began, answers the call at once as not done, and gives true.
    bool refusedAtEnd();
    static void answer(const std::shared_ptr<Taken> &taken, const QDBusMessage &reply);

    enum class Lookup { byID, byIDOrName };
    // The profile with this uuid (or else the only one with this name); none after an error reply was
    // sent.
    Profile *findProfile(const QString &id, Lookup lookup = Lookup::byID);
    static QVariantMap record(const Profile &profile);
    static QCoro::Task<void> applyAndReply(QPointer<Profile> profile, bool saveLastProfile,
                                           std::shared_ptr<Taken> taken);
    static QCoro::Task<void> createAndReply(QPointer<SelectionModel> selection,
                                            QPointer<ModelContext> context, QString name,
                                            std::shared_ptr<Taken> taken);

    ModelContext *context() const { return m_context ? m_context() : nullptr; }

    ContextSource m_context;
    QPointer<SelectionModel> m_selection;
    QList<std::shared_ptr<Taken>> m_taken;
    bool m_ended = false;
    // Finished once no request that stores waits for its answer.
    std::unique_ptr<QPromise<void>> m_storesOver;
    // The connections, by name, that were sent answers the bus may not have yet.
    QStringList m_unflushed;
    // The connections, by name, the service is registered on.
    QStringList m_registeredOn;
};
