#include "Tapestrel/system/DockIconVisibilityController.h"

#include "platform/UserDefaults.h"

#include <QApplication>
#include <QEvent>
#include <QWidget>

namespace {

// Top-level windows are tool windows while the program is an accessory: the window manager gives
// them no task-bar entry. The filter catches windows as they are shown, so later windows follow too.
class WidgetPresentation
    : public QObject
    , public ApplicationPresentation
{
public:
    Platform::ActivationPolicy activationPolicy() const override { return m_policy; }

    void setActivationPolicy(Platform::ActivationPolicy policy) override
    {
        m_policy = policy;
        if (!m_filtering && qApp) {
            qApp->installEventFilter(this);
            m_filtering = true;
        }
        for (QWidget *window : QApplication::topLevelWidgets())
            present(window);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show && watched->isWidgetType()) {
            auto *widget = static_cast<QWidget *>(watched);
            if (widget->isWindow())
                present(widget);
        }
        return false;
    }

private:
    void present(QWidget *window) const
    {
        const Qt::WindowType type = window->windowType();
        // Dialogs follow their parent; menus, tool tips and pop-ups have no task-bar entry anyway.
        if (type != Qt::Window && type != Qt::Tool)
            return;
        const bool wantTool = m_policy != Platform::ActivationPolicy::Regular;
        if ((type == Qt::Tool) == wantTool)
            return;
        const bool wasVisible = window->isVisible();
        window->setWindowFlag(Qt::Tool, wantTool);
        window->setWindowFlag(Qt::Window, true);
        if (wasVisible)
            window->show(); // changing the flags hides the window
    }

    Platform::ActivationPolicy m_policy = Platform::ActivationPolicy::Regular;
    bool m_filtering = false;
};

} // namespace

ApplicationPresentation &ApplicationPresentation::application()
{
    static WidgetPresentation *presentation = new WidgetPresentation;
    return *presentation;
}

DockIconVisibilityController::DockIconVisibilityController(QObject *parent)
    : DockIconVisibilityController(ApplicationPresentation::application(), parent)
{ }

DockIconVisibilityController::DockIconVisibilityController(ApplicationPresentation &presentation,
                                                           QObject *parent)
    : QObject(parent)
    , m_presentation(presentation)
    , m_defaults(&Platform::UserDefaults::standard())
{
    m_lastValue = currentSetting();
    apply(*m_lastValue);
    // Any change of the program's defaults may be this one; the comparison with the last value
    // keeps a burst of notices to one application per real change. The connection ends with this
    // object.
    connect(m_defaults, &Platform::UserDefaults::changed, this,
            &DockIconVisibilityController::defaultsChanged);
}

bool DockIconVisibilityController::currentSetting() const
{
    if (!m_defaults)
        return true;
    const QVariant value = m_defaults->value(showDockIconKey);
    return value.isValid() ? Platform::UserDefaults::boolFromValue(value) : true;
}

void DockIconVisibilityController::defaultsChanged()
{
    const bool value = currentSetting();
    if (m_lastValue == value)
        return;
    m_lastValue = value;
    apply(value);
}

void DockIconVisibilityController::apply(bool showDockIcon)
{
    const Platform::ActivationPolicy wanted =
        showDockIcon ? Platform::ActivationPolicy::Regular : Platform::ActivationPolicy::Accessory;
    if (m_presentation.activationPolicy() != wanted)
        m_presentation.setActivationPolicy(wanted);
}
