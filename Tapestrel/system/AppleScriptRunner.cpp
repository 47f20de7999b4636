#include "Tapestrel/system/AppleScriptRunner.h"

#include <QPointer>

AppleScriptRunner::AppleScriptRunner(const QString &script, QObject *parent)
    : QObject(parent)
    , m_script(script)
{ }

QCoro::Task<bool> AppleScriptRunner::run()
{
    const std::optional<Platform::ScriptValue> value = co_await runAndGetValue();
    co_return value.has_value();
}

QCoro::Task<std::optional<Platform::ScriptValue>> AppleScriptRunner::runAndGetValue()
{
    QPointer<AppleScriptRunner> self(this);
    const QString source = m_script;
    const Platform::ScriptResult result = co_await Platform::ScriptHost::shared().run(source, m_reach);
    // A runner dropped while its script ran has no one left to tell; its result is discarded.
    if (!self)
        co_return std::nullopt;
    m_desktopFailure = result.desktopFailure;
    m_errorNumber = result.succeeded ? 0 : result.errorNumber;
    m_errorMessage = result.succeeded ? QString() : result.errorMessage;
    if (!result.succeeded)
        co_return std::nullopt;
    co_return result.value;
}

std::optional<QString> AppleScriptRunner::stringLiteral(const QString &text)
{
    QString literal;
    literal.reserve(text.size() + 2);
    literal += u'"';
    for (const QChar c : text) {
        if (c.category() == QChar::Other_Control || c == QChar::LineSeparator
            || c == QChar::ParagraphSeparator)
            return std::nullopt;
        if (c == u'"' || c == u'\\')
            literal += u'\\';
        literal += c;
    }
    literal += u'"';
    return literal;
}
