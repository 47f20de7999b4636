#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

namespace KivIntroduction {

// Makes a window follow the introduction's level: up with it, and back to its own level when the
// introduction drops to the normal level.
class AdjustWindowLevelToIntroductionModifier : public QObject
{
    Q_OBJECT

public:
    AdjustWindowLevelToIntroductionModifier(QWidget *window, int regularWindowLevel);

private:
    QPointer<QWidget> m_window;
    int m_regularWindowLevel;
};

} // namespace KivIntroduction
