#include "Tapestrel/automation/VisibleText.h"

#include "Tapestrel/model/ProfileNames.h"

QString shownInMessage(const QString &text)
{
    constexpr qsizetype longest = 200;
    const QString cut = ProfileNames::cut(text, longest);
    return visibleControls(cut) + (cut.size() < text.size() ? QStringLiteral("…") : QString());
}
