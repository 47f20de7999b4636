#include "Tapestrel/system/SystemDefaultsManager.h"

#include "platform/DefaultsTool.h"
#include "platform/UserDefaults.h"

#include <QCoreApplication>
#include <QStringDecoder>

namespace {

class ProcessToolRunner : public SystemDefaultsManager::ToolRunner
{
public:
    // A read of a key that has no value makes the tool complain on standard error and fail; that is an
    // ordinary answer here (many keys of applications that are not installed have none), so its
    // standard error is kept from the program's own.
    SystemDefaultsManager::ToolRun run(const QStringList &arguments) override
    {
        return Platform::DefaultsTool::run(arguments, SystemDefaultsManager::toolTimeout);
    }
};

// Why the tool refused: its own line on standard error (anything else there, such as a sanitiser's
// report, is not for the user), without the tool's name.
QString refusal(const QByteArray &error)
{
    const QString prefix = QStringLiteral("tapestrel-defaults: ");
    const QStringList lines = QString::fromUtf8(error).split(QLatin1Char('\n'));
    for (auto line = lines.crbegin(); line != lines.crend(); ++line) {
        if (line->startsWith(prefix)) {
            QString reason = line->mid(prefix.size()).simplified();
            if (!reason.isEmpty())
                reason[0] = reason[0].toUpper();
            return reason;
        }
    }
    return QCoreApplication::translate("SystemDefaultsManager", "The defaults tool failed.");
}

// A "delete" that failed because the key was never there changed nothing that the caller cares
// about: the domain holds no value either way.
bool holdsNothingToDelete(const QStringList &arguments)
{
    if (arguments.value(0) != QLatin1String("delete") || arguments.size() < 3)
        return false;
    Platform::UserDefaults *suite = Platform::DefaultsTool::domain(arguments.at(1));
    return suite && suite->problem().isEmpty() && !suite->persistentValue(arguments.at(2)).isValid();
}

} // namespace

DefaultsWriteError::DefaultsWriteError(const QString &message)
    : std::runtime_error(message.toStdString())
{ }

SystemDefaultsManager::SystemDefaultsManager()
    : m_runner(std::make_shared<ProcessToolRunner>())
{ }

SystemDefaultsManager::SystemDefaultsManager(std::shared_ptr<ToolRunner> runner)
    : m_runner(std::move(runner))
{ }

std::optional<QString> SystemDefaultsManager::run(const QStringList &arguments) const
{
    const std::optional<QByteArray> output = m_runner->run(arguments).output;
    if (!output)
        return std::nullopt;
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder.decode(*output);
    if (decoder.hasError())
        return std::nullopt;
    return text.trimmed();
}

void SystemDefaultsManager::write(const QStringList &arguments) const
{
    const ToolRun run = m_runner->run(arguments);
    if (run.changedWhenEnded && *run.changedWhenEnded) {
        throw DefaultsWriteError(
            QCoreApplication::translate(
                "SystemDefaultsManager",
                "The defaults tool did not finish in time and was ended after it changed “%1”.")
                .arg(arguments.value(2)));
    }
    if (run.changedWhenEnded) {
        throw DefaultsWriteError(
            QCoreApplication::translate(
                "SystemDefaultsManager",
                "The defaults tool did not finish in time and was ended, so “%1” was not changed.")
                .arg(arguments.value(2)));
    }
    if (!run.output) {
        throw DefaultsWriteError(
            QCoreApplication::translate("SystemDefaultsManager",
                                        "The defaults tool could not be run, so “%1” was not changed.")
                .arg(arguments.value(2)));
    }
    if (run.exitCode != 0 && !holdsNothingToDelete(arguments))
        throw DefaultsWriteError(refusal(run.error));
}

std::optional<QString> SystemDefaultsManager::readString(const std::optional<QString> &domain,
                                                         const QString &key) const
{
    if (domain)
        return run({QStringLiteral("read"), *domain, key, QStringLiteral("-string")});
    return Platform::UserDefaults::standard().string(key);
}

std::optional<bool> SystemDefaultsManager::readBool(const std::optional<QString> &domain,
                                                    const QString &key) const
{
    Platform::UserDefaults *suite =
        domain ? Platform::UserDefaults::suite(*domain) : &Platform::UserDefaults::standard();
    if (!suite)
        return std::nullopt;
    const QVariant value = suite->value(key);
    if (!value.isValid())
        return std::nullopt;
    return Platform::UserDefaults::boolFromValue(value);
}

void SystemDefaultsManager::writeString(const std::optional<QString> &domain, const QString &key,
                                        const QString &value) const
{
    write({QStringLiteral("write"), domain.value_or(QStringLiteral("-g")), key, QStringLiteral("-string"),
           value});
}

void SystemDefaultsManager::writeBool(const std::optional<QString> &domain, const QString &key,
                                      bool value) const
{
    write({QStringLiteral("write"), domain.value_or(QStringLiteral("-g")), key, QStringLiteral("-bool"),
           value ? QStringLiteral("true") : QStringLiteral("false")});
}

void SystemDefaultsManager::writeArray(const QString &domain, const QString &key,
                                       const QVariantList &array) const
{
    Platform::UserDefaults *suite = Platform::UserDefaults::suite(domain);
    if (!suite)
        throw DefaultsWriteError(
            QCoreApplication::translate("SystemDefaultsManager", "“%1” is not a name of preferences.")
                .arg(domain));
    QString error;
    if (!suite->setValue(key, array, &error)) {
        throw DefaultsWriteError(
            QCoreApplication::translate("SystemDefaultsManager", "Could not write %1 to %2: %3")
                .arg(key, domain, error.simplified()));
    }
    suite->synchronize();
    // Written, but in place of a damaged file that was set aside: the caller must hear of it.
    if (!error.isEmpty())
        throw DefaultsWriteError(error);
}
