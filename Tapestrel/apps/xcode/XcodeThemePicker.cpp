#include "Tapestrel/apps/xcode/XcodeThemePicker.h"

#include "Tapestrel/apps/xcode/XcodeThemeStore.h"

XcodeThemePicker::XcodeThemePicker(Option *option, std::unique_ptr<XcodeThemeStore> themeStore,
                                   QWidget *parent)
    : ThemePicker(
        option, tr("Theme"), QString(),
        [store = themeStore.get()] {
            Section builtIn {builtInHeader(), {}};
            for (const XcodeTheme &theme : store->themes())
                builtIn.rows.append({theme.displayName(), theme.id()});
            Section user {userHeader(), {}};
            for (const XcodeTheme &theme : store->userThemes())
                user.rows.append({theme.displayName(), theme.id()});
            return QList<Section> {builtIn, user};
        },
        themeStore.get(), {}, parent)
    , m_themeStore(std::move(themeStore))
{
    setObjectName(QStringLiteral("XcodeThemePicker"));
}

XcodeThemePicker::~XcodeThemePicker() = default;
