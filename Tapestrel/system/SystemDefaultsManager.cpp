#include "Tapestrel/system/SystemDefaultsManager.h"

#include "platform/DefaultsTool.h"
#include "platform/UserDefaults.h"

#include <QProcess>
#include <QStringDecoder>

namespace {

class ProcessToolRunner : public SystemDefaultsManager::ToolRunner
{
public:
    std::optional<QByteArray> run(const QStringList &arguments, bool captureOutput) override
    {
        const QString program = Platform::DefaultsTool::path();
        if (program.isEmpty())
            return std::nullopt;
        QProcess process;
        process.setProgram(program);
        process.setArguments(arguments);
        // A read of a key that has no value makes the tool complain on standard error and fail; that
        // is an ordinary answer here (many keys of applications that are not installed have none),
        // so its output is kept from the program's own. Only a write that failed is worth a word.
        process.setProcessChannelMode(QProcess::SeparateChannels);
        process.start();
        // A tool that cannot start ends the call at once; there is no output to wait for.
        if (!process.waitForStarted())
            return std::nullopt;
        if (!process.waitForFinished(int(SystemDefaultsManager::toolTimeout.count()))) {
            process.kill();
            process.waitForFinished(1000);
            return std::nullopt;
        }
        // Deleting a key that has none fails the same way as a read and is as ordinary.
        if (!captureOutput && arguments.value(0) == QLatin1String("write")
            && (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0))
            qWarning("The defaults tool could not write (%s): %s", qPrintable(arguments.mid(0, 3).join(u' ')),
                     qPrintable(QString::fromUtf8(process.readAllStandardError()).trimmed()));
        return captureOutput ? process.readAllStandardOutput() : QByteArray();
    }
};

} // namespace

SystemDefaultsManager::SystemDefaultsManager()
    : m_runner(std::make_shared<ProcessToolRunner>())
{ }

SystemDefaultsManager::SystemDefaultsManager(std::shared_ptr<ToolRunner> runner)
    : m_runner(std::move(runner))
{ }

std::optional<QString> SystemDefaultsManager::run(const QStringList &arguments) const
{
    const std::optional<QByteArray> output = m_runner->run(arguments, true);
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
    m_runner->run(arguments, false);
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
        return;
    suite->setValue(key, array);
    suite->synchronize();
}
