#pragma once

#include "Tapestrel/system/DockPreferenceToggleOptionModel.h"

#include <QCoreApplication>

// The option "system.desktop.dock.enableMagnification": whether the Dock's icons grow under the pointer.
class DockMagnificationOptionModel : public DockPreferenceToggleOptionModel
{
public:
    static QString optionKey() { return QStringLiteral("system.desktop.dock.enableMagnification"); }
    static QStringList optionDisplayPath()
    {
        return {QStringLiteral("System"), QStringLiteral("Dock"), QStringLiteral("Dock Magnification")};
    }

    QString key() const override { return optionKey(); }
    QStringList displayPath() const override { return optionDisplayPath(); }

    QString property() const override { return QStringLiteral("magnification"); }
    QString toggleTitle() const override
    {
        return QCoreApplication::translate("SystemOptions", "Enable Magnification");
    }
    // Magnification alone reads as the empty text when System Events does not answer.
    QString unreadableValue() const override { return QString(); }
};
