#pragma once

#include "testsupport/Screenshots.h"

#include <QCoreApplication>
#include <QDir>
#include <QWidget>

// Saves a picture of a picker under <build>/screenshots for a person to look at.
inline QString savePickerScreenshot(QWidget &widget, const QString &name)
{
    widget.adjustSize();
    widget.resize(qMax(widget.width(), 420), widget.height());
    return TestSupport::saveScreenshot(&widget, QStringLiteral("system-pickers/") + name);
}
