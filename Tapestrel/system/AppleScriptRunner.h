#pragma once

#include "platform/ScriptHost.h"

#include <QObject>
#include <QString>

#include <QCoro/QCoroTask>

#include <optional>

// Runs one script text and hands the outcome back to an awaiting caller. The script never runs on
// the caller's thread, and the result always arrives back on it. One runner serves one script;
// callers keep it alive until the awaited operation returns.
class AppleScriptRunner : public QObject
{
    Q_OBJECT

public:
    explicit AppleScriptRunner(const QString &script, QObject *parent = nullptr);

    QString script() const { return m_script; }
    void setScript(const QString &script) { m_script = script; }

    // Whether the script's changes also reach the real desktop (the default), or only the emulated
    // state.
    void setReach(Platform::ScriptHost::Reach reach) { m_reach = reach; }
    // After a run: why the real desktop did not take a change that the script made; empty when it
    // did or when none reached it.
    QString desktopFailure() const { return m_desktopFailure; }
    // After a run that failed: the script's error number and message; 0 and empty otherwise.
    int errorNumber() const { return m_errorNumber; }
    QString errorMessage() const { return m_errorMessage; }

    // True when the script compiled and ran without an error. Never throws.
    QCoro::Task<bool> run();
    // The value the script returned (a Null value when it returned nothing); nothing when it did not
    // compile or failed. Never throws.
    QCoro::Task<std::optional<Platform::ScriptValue>> runAndGetValue();

    // `text` as a string literal for a script: in double quotes, with backslashes and double quotes
    // escaped. Nothing when the text holds a control character (a line break would end the literal
    // where the script's reader does not expect it). Data never goes into a script any other way.
    static std::optional<QString> stringLiteral(const QString &text);

private:
    QString m_script;
    Platform::ScriptHost::Reach m_reach = Platform::ScriptHost::Reach::desktop;
    QString m_desktopFailure;
    int m_errorNumber = 0;
    QString m_errorMessage;
};
