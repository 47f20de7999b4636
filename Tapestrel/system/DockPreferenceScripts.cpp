#include "Tapestrel/system/DockPreferenceScripts.h"

#include "Tapestrel/system/SystemEventsScript.h"

namespace DockPreferenceScripts {

QString readScript(const QString &property)
{
    return SystemEventsScript::make(QStringLiteral("tell dock preferences to get ") + property);
}

QString setScript(const QString &property, const QString &valueWord)
{
    return SystemEventsScript::make(QStringLiteral("tell dock preferences to set ") + property
                                    + QStringLiteral(" to ") + valueWord);
}

} // namespace DockPreferenceScripts
