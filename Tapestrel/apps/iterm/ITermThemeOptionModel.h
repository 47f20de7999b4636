#pragma once

#include "Tapestrel/apps/iterm/ITermAppConfig.h"
#include "Tapestrel/model/PendingOptionModel.h"

// The option "tools.iterm.theme". Applying and reading are not part of the program yet: see the base class.
class ITermThemeOptionModel : public PendingThemeOptionModel
{
public:
    ITermThemeOptionModel(ITermAppConfig *config, QString bundleID);

    static QString optionKey() { return QStringLiteral("tools.iterm.theme"); }
    static QStringList optionDisplayPath()
    {
        return {QStringLiteral("Tools"), QStringLiteral("iTerm"), QStringLiteral("Theme")};
    }

    QString key() const override { return optionKey(); }
    QStringList displayPath() const override { return optionDisplayPath(); }
    QWidget *accessoryView(QWidget *parent) override;

    ITermAppConfig *config() const { return m_config; }
    QString bundleID() const { return m_bundleID; }

private:
    ITermAppConfig *m_config;
    QString m_bundleID;
};
