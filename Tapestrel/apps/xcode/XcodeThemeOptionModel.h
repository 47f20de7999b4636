#pragma once

#include "Tapestrel/apps/xcode/XcodeAppConfig.h"
#include "Tapestrel/model/OptionModel.h"
#include "Tapestrel/model/ThemeContainer.h"

// The option "dt.Xcode.theme": the file name of a font-and-colour theme, written into the slot of
// Xcode's domain for the system's appearance at that moment ("XCFontAndColorCurrentTheme" or
// "XCFontAndColorCurrentDarkTheme"), after which running applications are told that the colours
// changed. "Don't set" (the empty text) leaves Xcode alone; any other name is written as it is.
class XcodeThemeOptionModel
    : public OptionModel
    , public ThemeContainer
{
public:
    explicit XcodeThemeOptionModel(XcodeAppConfig *config);

    static QString optionKey() { return QStringLiteral("dt.Xcode.theme"); }
    static QStringList optionDisplayPath()
    {
        return {QStringLiteral("Tools"), QStringLiteral("Xcode"), QStringLiteral("Theme")};
    }
    static inline const QString domain = QStringLiteral("com.apple.dt.Xcode");
    static inline const QString notification = QStringLiteral("AppleAquaColorVariantChanged");
    static QString slotKey();

    QString key() const override { return optionKey(); }
    QStringList displayPath() const override { return optionDisplayPath(); }
    XcodeAppConfig *config() const { return m_config; }

    QWidget *makePicker(Option *option, Profile *profile, QWidget *parent) override;
    QCoro::Task<void> apply(QString value, QPointer<Profile> profile,
                            std::shared_ptr<bool> needsDockRestart) override;
    QCoro::Task<std::optional<QString>> readCurrentValue(QPointer<Profile> profile) override;
    std::optional<ThemeInfo> themeInfo(const Profile *profile) const override;

private:
    XcodeAppConfig *m_config;
};
