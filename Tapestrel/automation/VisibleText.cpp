#include "Tapestrel/automation/VisibleText.h"

#include "Tapestrel/model/ProfileNames.h"

namespace {

bool isDirectionControl(char16_t unit)
{
    return (unit >= 0x202A && unit <= 0x202E) || (unit >= 0x2066 && unit <= 0x2069);
}

} // namespace

QString visibleControls(const QString &text)
{
    QString shown;
    shown.reserve(text.size());
    for (const QChar character : text) {
        const char16_t unit = character.unicode();
        if (character.category() != QChar::Other_Control && !isDirectionControl(unit)) {
            shown.append(character);
            continue;
        }
        switch (unit) {
        case u'\b': shown.append(QLatin1String("\\b")); break;
        case u'\f': shown.append(QLatin1String("\\f")); break;
        case u'\n': shown.append(QLatin1String("\\n")); break;
        case u'\r': shown.append(QLatin1String("\\r")); break;
        case u'\t': shown.append(QLatin1String("\\t")); break;
        default: shown.append(QStringLiteral("\\u%1").arg(int(unit), 4, 16, QLatin1Char('0')));
        }
    }
    return shown;
}

QString shownInMessage(const QString &text)
{
    constexpr qsizetype longest = 200;
    const QString cut = ProfileNames::cut(text, longest);
    return visibleControls(cut) + (cut.size() < text.size() ? QStringLiteral("…") : QString());
}
