#include "Tapestrel/model/Defaults.h"

#include "platform/UserDefaults.h"

const QString Defaults::showMenuBarIconKey = QStringLiteral("showMenuBarIcon");
const QString Defaults::activeEditorTabKey = QStringLiteral("activeEditorTab");
const QString Defaults::didApplyAnyProfileKey = QStringLiteral("didApplyAnyProfile");
const QString Defaults::lastAppliedProfileIDKey = QStringLiteral("lastAppliedProfileID");
const QString Defaults::showDockIconKey = QStringLiteral("showDockIcon");
const QString Defaults::confirmTerminatingITermKey = QStringLiteral("confirmTerminatingITerm");

Defaults::Defaults(QObject *parent)
    : QObject(parent)
{
    connect(&Platform::UserDefaults::standard(), &Platform::UserDefaults::valueChanged, this,
            [this](const QString &key) { keyChanged(key); });
}

QVariant Defaults::stored(const QString &key)
{
    return Platform::UserDefaults::standard().value(key);
}

void Defaults::store(const QString &key, const QVariant &value)
{
    Platform::UserDefaults::standard().setValue(key, value);
}

void Defaults::keyChanged(const QString &key)
{
    if (key == showMenuBarIconKey)
        emit showMenuBarIconChanged();
    else if (key == activeEditorTabKey)
        emit activeEditorTabChanged();
    else if (key == didApplyAnyProfileKey)
        emit didApplyAnyProfileChanged();
    else if (key == lastAppliedProfileIDKey)
        emit lastAppliedProfileIDChanged();
    else if (key == showDockIconKey)
        emit showDockIconChanged();
    else if (key == confirmTerminatingITermKey)
        emit confirmTerminatingITermChanged();
}

bool Defaults::showMenuBarIcon() const
{
    const QVariant value = stored(showMenuBarIconKey);
    return value.isValid() ? Platform::UserDefaults::boolFromValue(value) : true;
}

void Defaults::setShowMenuBarIcon(bool show)
{
    store(showMenuBarIconKey, show);
}

std::optional<QString> Defaults::activeEditorTab() const
{
    return Platform::UserDefaults::stringFromValue(stored(activeEditorTabKey));
}

void Defaults::setActiveEditorTab(const std::optional<QString> &tab)
{
    store(activeEditorTabKey, tab ? QVariant(*tab) : QVariant());
}

void Defaults::setActiveEditorTabText(const QString &tab)
{
    setActiveEditorTab(tab.isEmpty() ? std::nullopt : std::optional<QString>(tab));
}

bool Defaults::didApplyAnyProfile() const
{
    return Platform::UserDefaults::boolFromValue(stored(didApplyAnyProfileKey));
}

void Defaults::setDidApplyAnyProfile(bool applied)
{
    store(didApplyAnyProfileKey, applied);
}

QString Defaults::lastAppliedProfileID() const
{
    return Platform::UserDefaults::stringFromValue(stored(lastAppliedProfileIDKey)).value_or(QString());
}

void Defaults::setLastAppliedProfileID(const QString &id)
{
    store(lastAppliedProfileIDKey, id);
}

bool Defaults::showDockIcon() const
{
    const QVariant value = stored(showDockIconKey);
    return value.isValid() ? Platform::UserDefaults::boolFromValue(value) : true;
}

void Defaults::setShowDockIcon(bool show)
{
    store(showDockIconKey, show);
}

bool Defaults::confirmTerminatingITerm() const
{
    const QVariant value = stored(confirmTerminatingITermKey);
    return value.isValid() ? Platform::UserDefaults::boolFromValue(value) : true;
}

void Defaults::setConfirmTerminatingITerm(bool confirm)
{
    store(confirmTerminatingITermKey, confirm);
}
