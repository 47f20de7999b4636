#pragma once

#include "Tapestrel/apps/vscode/VSCodeAppConfig.h"
#include "Tapestrel/model/PendingOptionModel.h"

// The option "apps.vscode.theme". Applying and reading are not part of the program yet: see the base class.
class VSCodeThemeOptionModel : public PendingThemeOptionModel
{
public:
    explicit VSCodeThemeOptionModel(VSCodeAppConfig *config);

    static QString optionKey() { return QStringLiteral("apps.vscode.theme"); }
    static QStringList optionDisplayPath()
    {
        return {QStringLiteral("Tools"), QStringLiteral("Visual Studio Code"), QStringLiteral("Theme")};
    }

    QString key() const override { return optionKey(); }
    QStringList displayPath() const override { return optionDisplayPath(); }
    QWidget *accessoryView(QWidget *parent) override;

    VSCodeAppConfig *config() const { return m_config; }

private:
    VSCodeAppConfig *m_config;
};
