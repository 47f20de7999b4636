#pragma once

#include "platform/Workspace.h"

#include <QObject>
#include <QPointer>

#include <memory>
#include <optional>

namespace Platform {
class UserDefaults;
}

// How the program presents itself. Regular: its windows have task-bar entries. Accessory: its windows
// have none. Either way the program goes on running when its windows close; only the main window's
// close may end it, where nothing else shows the program.
class ApplicationPresentation
{
public:
    virtual ~ApplicationPresentation() = default;
    virtual Platform::ActivationPolicy activationPolicy() const = 0;
    virtual void setActivationPolicy(Platform::ActivationPolicy policy) = 0;

    // The program's own windows: the policy applies to every top-level window, those opened later
    // included.
    static ApplicationPresentation &application();
};

// Keeps the program's presentation in line with the "showDockIcon" setting (on unless set): regular
// while it is on, accessory while it is off. Changes apply at once, without a restart, and the policy
// is only set when it differs from the current one.
class DockIconVisibilityController : public QObject
{
    Q_OBJECT

public:
    static inline const QString showDockIconKey = QStringLiteral("showDockIcon");

    explicit DockIconVisibilityController(QObject *parent = nullptr);
    // With another presentation (tests).
    DockIconVisibilityController(ApplicationPresentation &presentation, QObject *parent = nullptr);

    std::optional<bool> lastValue() const { return m_lastValue; }

private:
    void defaultsChanged();
    void apply(bool showDockIcon);
    bool currentSetting() const;

    ApplicationPresentation &m_presentation;
    QPointer<Platform::UserDefaults> m_defaults;
    std::optional<bool> m_lastValue;
};
