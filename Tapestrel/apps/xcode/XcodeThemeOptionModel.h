#pragma once

#include "Tapestrel/apps/xcode/XcodeAppConfig.h"
#include "Tapestrel/model/PendingOptionModel.h"

// The option "dt.Xcode.theme". Applying and reading are not part of the program yet: see the base class.
class XcodeThemeOptionModel : public PendingThemeOptionModel
{
public:
    explicit XcodeThemeOptionModel(XcodeAppConfig *config);

    static QString optionKey() { return QStringLiteral("dt.Xcode.theme"); }
    static QStringList optionDisplayPath()
    {
        return {QStringLiteral("Tools"), QStringLiteral("Xcode"), QStringLiteral("Theme")};
    }

    QString key() const override { return optionKey(); }
    QStringList displayPath() const override { return optionDisplayPath(); }

    XcodeAppConfig *config() const { return m_config; }

private:
    XcodeAppConfig *m_config;
};
