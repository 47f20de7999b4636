#include "Tapestrel/apps/nova/NovaEditorThemePicker.h"

#include "Tapestrel/apps/nova/NovaEditorThemeOptionModel.h"
#include "Tapestrel/apps/nova/NovaThemeStore.h"

NovaEditorThemePicker::NovaEditorThemePicker(Option *option, NovaThemeStore *store, QWidget *parent)
    : ThemePicker(
        option, tr("Editor Theme"), NovaEditorThemeOptionModel::doNotSet,
        [store] { return builtInAndCustomSections(*store, customHeader()); }, store, {}, parent)
{
    setObjectName(QStringLiteral("NovaEditorThemePicker"));
}
