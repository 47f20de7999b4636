#include "Tapestrel/automation/AutomationService.h"

#include "Tapestrel/automation/VisibleText.h"

#include "Tapestrel/model/ApplyProfileCommand.h"
#include "Tapestrel/model/EngineSettings.h"
#include "Tapestrel/model/ModelContainer.h"
#include "Tapestrel/model/ModelContext.h"
#include "Tapestrel/model/NewProfileCommand.h"
#include "Tapestrel/model/Profile.h"
#include "Tapestrel/model/ProfileNames.h"
#include "Tapestrel/model/ProfileRepository.h"
#include "Tapestrel/model/SelectionModel.h"
#include "Tapestrel/model/ShowProfileNotification.h"

#include "KivUtilities/Detached.h"
#include "platform/NotificationCenter.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusMetaType>
#include <QDBusVirtualObject>
#include <QThread>

#include <QCoro/QCoroFuture>

#include <algorithm>
#include <exception>
#include <utility>

namespace {

// The most one reply may hold. A bus drops the connection of a program that sends a larger message
// than it takes, and the program loses its name with it: the bus daemon takes 32 MiB unless its
// configuration allows more (a session bus commonly allows the protocol's own limit, 128 MiB, of
// which one array may hold 64 MiB). What a listed profile costs beyond the bytes of its id and name
// (alignment, lengths, keys, signatures) is counted generously. 10,000 profiles with names of the
// longest length, in characters that take three bytes each, fit.
constexpr qsizetype replyBudget = 32 * 1024 * 1024 - 512 * 1024;
constexpr qsizetype listedProfileOverhead = 160;

// Answers every call as not done: what stands in for the service once the program's end has answered
// everything, until the process is gone.
class LateCallAnswerer : public QDBusVirtualObject
{
public:
    LateCallAnswerer(QString errorName, QString text)
        : m_errorName(std::move(errorName))
        , m_text(std::move(text))
    { }

    bool handleMessage(const QDBusMessage &message, const QDBusConnection &connection) override
    {
        if (message.type() == QDBusMessage::MethodCallMessage && !message.isReplyRequired())
            return true;
        return QDBusConnection(connection).send(message.createErrorReply(m_errorName, m_text));
    }

    QString introspect(const QString &) const override { return {}; }

private:
    const QString m_errorName;
    const QString m_text;
};

} // namespace

const QString AutomationService::serviceName = QStringLiteral("com.quorvane.Tapestrel");
const QString AutomationService::objectPath = QStringLiteral("/com/quorvane/Tapestrel");
const QString AutomationService::interfaceName = QStringLiteral("com.quorvane.Tapestrel");
const QString AutomationService::unknownProfileError =
    QStringLiteral("com.quorvane.Tapestrel.Error.UnknownProfile");
const QString AutomationService::ambiguousProfileError =
    QStringLiteral("com.quorvane.Tapestrel.Error.AmbiguousProfile");
const QString AutomationService::invalidArgumentError =
    QStringLiteral("com.quorvane.Tapestrel.Error.InvalidArgument");
const QString AutomationService::failedError = QStringLiteral("com.quorvane.Tapestrel.Error.Failed");
const QString AutomationService::partlyAppliedError =
    QStringLiteral("com.quorvane.Tapestrel.Error.PartlyApplied");

AutomationService::AutomationService(ModelContext *context, SelectionModel *selection, QObject *parent)
    : AutomationService([context = QPointer<ModelContext>(context)]() -> ModelContext * { return context; },
                        selection, parent)
{ }

AutomationService::AutomationService(ContextSource context, SelectionModel *selection, QObject *parent)
    : QObject(parent)
    , m_context(std::move(context))
    , m_selection(selection)
{
    qDBusRegisterMetaType<QList<QVariantMap>>();
}

AutomationService::~AutomationService()
{
    answerTheRest();
}

std::unique_ptr<AutomationService> AutomationService::startForProgram(ContextSource context,
                                                                      SelectionModel *selection)
{
    auto service = std::make_unique<AutomationService>(std::move(context), selection);
    // After the store's own end (connected before): a profile a script made is answered as stored.
    connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, service.get(),
            &AutomationService::answerTheRest);
    QString error;
    if (!service->registerOn(QDBusConnection::sessionBus(), serviceName, &error))
        qWarning("Scripting service not available: %s", qPrintable(error));
    return service;
}

bool AutomationService::registerOn(QDBusConnection connection, const QString &service, QString *error)
{
    if (!connection.isConnected()) {
        if (error)
            *error = QCoreApplication::translate("AutomationService", "There is no session bus.");
        return false;
    }
    if (!connection.registerObject(objectPath, this,
                                   QDBusConnection::ExportScriptableSlots
                                       | QDBusConnection::ExportScriptableContents)) {
        if (error)
            *error = QCoreApplication::translate("AutomationService",
                                                 "The scripting object could not be exported.");
        return false;
    }
    if (!connection.registerService(service)) {
        connection.unregisterObject(objectPath);
        if (error)
            *error = connection.lastError().message();
        return false;
    }
    m_registeredOn.append(connection.name());
    return true;
}

QString AutomationService::endedText()
{
    return QCoreApplication::translate("AutomationService", "Tapestrel ended before it was done.");
}

std::shared_ptr<AutomationService::Taken> AutomationService::take(Kind kind)
{
    setDelayedReply(true);
    auto taken = std::make_shared<Taken>();
    taken->service = this;
    taken->connection = connection();
    taken->call = message();
    taken->stores = kind == Kind::stores;
    m_taken.append(taken);
    return taken;
}

bool AutomationService::refusedAtEnd()
{
    if (!m_ended)
        return false;
    sendErrorReply(failedError, endedText());
    return true;
}

void AutomationService::answer(const std::shared_ptr<Taken> &taken, const QDBusMessage &reply)
{
    if (taken->answered)
        return;
    taken->answered = true;
    taken->connection.send(reply);
    if (AutomationService *service = taken->service) {
        // `taken` may be the service's own copy: it is kept alive here until the list no longer needs it.
        const std::shared_ptr<Taken> kept = taken;
        service->m_taken.removeOne(kept);
        if (!service->m_unflushed.contains(kept->connection.name()))
            service->m_unflushed.append(kept->connection.name());
        if (service->m_storesOver && !service->isStoring()) {
            service->m_storesOver->finish();
            service->m_storesOver.reset();
        }
    }
}

bool AutomationService::isStoring() const
{
    return std::any_of(m_taken.cbegin(), m_taken.cend(),
                       [](const std::shared_ptr<Taken> &taken) { return taken->stores; });
}

QCoro::Task<void> AutomationService::storesOver()
{
    QPointer<AutomationService> self(this);
    while (self && self->isStoring()) {
        if (!self->m_storesOver) {
            self->m_storesOver = std::make_unique<QPromise<void>>();
            self->m_storesOver->start();
        }
        // Finished by the answer to the last of them; cancelled when the service goes.
        const QFuture<void> over = self->m_storesOver->future();
        co_await over;
    }
}

void AutomationService::endRequests()
{
    m_ended = true;
    for (const std::shared_ptr<Taken> &taken : QList(m_taken)) {
        if (!taken->stores)
            answer(taken, taken->call.createErrorReply(failedError, endedText()));
    }
}

void AutomationService::withdrawUnfinished()
{
    for (const std::shared_ptr<Taken> &taken : std::as_const(m_taken)) {
        if (taken->stores && !taken->created && taken->inserted && taken->context)
            taken->context->remove(taken->inserted);
    }
}

void AutomationService::answerTheRest()
{
    m_ended = true;
    for (const std::shared_ptr<Taken> &taken : QList(m_taken)) {
        if (taken->created && taken->context && !taken->context->hasChanges())
            answer(taken, taken->call.createReply(QVariant::fromValue(record(*taken->created))));
        else
            answer(taken, taken->call.createErrorReply(failedError, endedText()));
    }
    // The answers go out on the connection's own thread, which ends with the program: a call of the
    // bus's own returns only after them.
    for (const QString &name : std::exchange(m_unflushed, {})) {
        QDBusConnection connection(name);
        if (connection.isConnected())
            connection.call(QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"),
                                                           QStringLiteral("/org/freedesktop/DBus"),
                                                           QStringLiteral("org.freedesktop.DBus.Peer"),
                                                           QStringLiteral("Ping")),
                            QDBus::Block, 5000);
    }
}

void AutomationService::answerLateCallsAsEnded()
{
    // One thread for the rest of the process: the bus hands a call to the thread of its object.
    static QThread *const answering = [] {
        auto *thread = new QThread;
        thread->setObjectName(QStringLiteral("Late calls"));
        thread->start();
        return thread;
    }();
    for (const QString &name : std::exchange(m_registeredOn, {})) {
        QDBusConnection connection(name);
        if (!connection.isConnected())
            continue;
        auto *answerer = new LateCallAnswerer(failedError, endedText());
        answerer->moveToThread(answering);
        connection.unregisterObject(objectPath);
        connection.registerVirtualObject(objectPath, answerer);
    }
}

Profile *AutomationService::findProfile(const QString &id, Lookup lookup)
{
    if (id.isEmpty()) {
        sendErrorReply(invalidArgumentError,
                       QCoreApplication::translate("AutomationService", "A profile id is needed."));
        return nullptr;
    }
    try {
        ModelContext *profiles = context();
        Profile *profile = profiles ? ProfileRepository(profiles).profile(id) : nullptr;
        if (profile && !profile->isDeleted())
            return profile;
        if (profiles && lookup == Lookup::byIDOrName) {
            QList<Profile *> named;
            for (Profile *candidate : profiles->fetchProfiles()) {
                if (!candidate->isDeleted() && candidate->name() == id)
                    named.append(candidate);
            }
            if (named.size() == 1)
                return named.first();
            if (named.size() > 1) {
                QStringList ids;
                for (const Profile *candidate : std::as_const(named))
                    ids.append(shownInMessage(candidate->uuid()));
                sendErrorReply(ambiguousProfileError,
                               QCoreApplication::translate("AutomationService",
                                                           "Several profiles are named “%1”; give one of "
                                                           "their ids: %2")
                                   .arg(shownInMessage(id), ids.join(QStringLiteral(", "))));
                return nullptr;
            }
        }
    } catch (const std::exception &error) {
        sendErrorReply(failedError,
                       QCoreApplication::translate("AutomationService", "The profiles could not be read: %1")
                           .arg(QString::fromUtf8(error.what())));
        return nullptr;
    }
    sendErrorReply(
        unknownProfileError,
        (lookup == Lookup::byIDOrName
             ? QCoreApplication::translate("AutomationService",
                                           "There is no profile with the id or name “%1”.")
             : QCoreApplication::translate("AutomationService", "There is no profile with the id “%1”."))
            .arg(shownInMessage(id)));
    return nullptr;
}

QVariantMap AutomationService::record(const Profile &profile)
{
    // A store may hold a longer name from before names had a limit: it is listed as far as a name can
    // go now.
    return {{QStringLiteral("id"), profile.uuid()},
            {QStringLiteral("name"), ProfileNames::cut(profile.name())}};
}

void AutomationService::ApplyProfile(const QString &id)
{
    if (refusedAtEnd())
        return;
    Profile *profile = findProfile(id, Lookup::byIDOrName);
    if (!profile)
        return;
    KivUtilities::detached(applyAndReply(profile, true, take(Kind::applies)),
                           "AutomationService::ApplyProfile");
}

void AutomationService::FocusChanged(const QString &id)
{
    if (refusedAtEnd())
        return;
    if (id.isEmpty()) {
        const QString last = EngineSettings::lastAppliedProfileID();
        if (last.isEmpty()) {
            sendErrorReply(
                unknownProfileError,
                QCoreApplication::translate("AutomationService", "No profile has been applied yet."));
            return;
        }
        Profile *profile = findProfile(last);
        if (!profile)
            return;
        KivUtilities::detached(applyAndReply(profile, false, take(Kind::applies)),
                               "AutomationService::FocusChanged");
        return;
    }
    Profile *profile = findProfile(id);
    if (!profile)
        return;
    KivUtilities::detached(applyAndReply(profile, false, take(Kind::applies)),
                           "AutomationService::FocusChanged");
}

QCoro::Task<void> AutomationService::applyAndReply(QPointer<Profile> profile, bool saveLastProfile,
                                                   std::shared_ptr<Taken> taken)
{
    ApplyResult result;
    try {
        ApplyProfileCommand command(profile, saveLastProfile, ProfileOperationQueue::Attendance::unattended);
        result = co_await command.executeAndWait();
    } catch (const std::exception &error) {
        answer(taken, taken->call.createErrorReply(failedError, QString::fromUtf8(error.what())));
        co_return;
    }
    // The program's end has answered it already, and stopped it: nothing more is said of it.
    if (taken->answered)
        co_return;
    if (!result.succeeded()) {
        result.profileName = shownInMessage(result.profileName);
        // The caller decides how to show it; the program's log keeps it as well.
        qWarning().noquote() << result.text();
        answer(taken, taken->call.createErrorReply(partlyAppliedError, result.text()));
        co_return;
    }
    answer(taken, taken->call.createReply());
}

QVariantMap AutomationService::CreateProfile(const QString &name)
{
    if (refusedAtEnd())
        return {};
    if (name.trimmed().isEmpty()) {
        sendErrorReply(invalidArgumentError,
                       QCoreApplication::translate("AutomationService", "A profile needs a name."));
        return {};
    }
    if (name.size() > ProfileNames::maximumLength) {
        sendErrorReply(invalidArgumentError,
                       QCoreApplication::translate("AutomationService",
                                                   "A profile name can have at most %1 characters; this "
                                                   "one has %2.")
                           .arg(ProfileNames::maximumLength)
                           .arg(name.size()));
        return {};
    }
    ModelContext *profiles = context();
    if (!profiles) {
        sendErrorReply(failedError,
                       QCoreApplication::translate("AutomationService", "The profiles are not open."));
        return {};
    }
    KivUtilities::detached(createAndReply(m_selection, profiles, name, take(Kind::stores)),
                           "AutomationService::CreateProfile");
    return {};
}

QCoro::Task<void> AutomationService::createAndReply(QPointer<SelectionModel> selection,
                                                    QPointer<ModelContext> context, QString name,
                                                    std::shared_ptr<Taken> taken)
{
    QPointer<Profile> profile;
    try {
        NewProfileCommand command(selection, context, name, true,
                                  ProfileOperationQueue::Attendance::unattended);
        QCoro::Task<Profile *> filling = command.createProfile();
        taken->inserted = command.insertedProfile();
        taken->context = context;
        profile = co_await std::move(filling);
        taken->created = profile;
        // Kept at once: a profile made by a script must survive the program quitting right away. A
        // restore being merged holds saves back until it ends, so the script hears of the profile
        // only once it is written (or why it could not be).
        if (profile && context) {
            if (QPointer<ModelContainer> container = context->container();
                container && container->isMerging())
                co_await container->mergesOver();
            if (context)
                context->save();
        }
    } catch (const std::exception &error) {
        answer(taken, taken->call.createErrorReply(failedError, QString::fromUtf8(error.what())));
        co_return;
    }
    if (!profile) {
        answer(taken,
               taken->call.createErrorReply(
                   failedError,
                   QCoreApplication::translate("AutomationService", "The profile could not be created.")));
        co_return;
    }
    answer(taken, taken->call.createReply(QVariant::fromValue(record(*profile))));
}

QList<QVariantMap> AutomationService::ListProfiles()
{
    QList<QVariantMap> records;
    if (refusedAtEnd())
        return records;
    ModelContext *profiles = context();
    if (!profiles)
        return records;
    try {
        qsizetype size = 0;
        for (Profile *profile : profiles->fetchProfiles()) {
            if (profile->isDeleted())
                continue;
            records.append(record(*profile));
            size += listedProfileOverhead + profile->uuid().toUtf8().size()
                + records.last().value(QStringLiteral("name")).toString().toUtf8().size();
        }
        // Refused rather than sent: the bus would take the program's name away for a larger answer.
        if (size > replyBudget) {
            sendErrorReply(failedError,
                           QCoreApplication::translate("AutomationService",
                                                       "The %1 profiles and their names are more than one "
                                                       "answer on the bus can hold.")
                               .arg(records.size()));
            return {};
        }
    } catch (const std::exception &error) {
        sendErrorReply(failedError,
                       QCoreApplication::translate("AutomationService", "The profiles could not be read: %1")
                           .arg(QString::fromUtf8(error.what())));
        return {};
    }
    return records;
}

void AutomationService::ShowProfile(const QString &id)
{
    if (refusedAtEnd() || !findProfile(id))
        return;
    // The main window comes forward first, then selects the profile.
    Platform::NotificationCenter::defaultCenter().post(QStringLiteral("showMainWindow"));
    postShowProfileNotification(id);
}
