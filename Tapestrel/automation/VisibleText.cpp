#include "Tapestrel/automation/VisibleText.h"

#include "Tapestrel/model/ProfileNames.h"

namespace {

// The marks and isolates of writing direction, and the separators that break a line where no line
// break shows.
bool isInvisibleControl(char16_t unit)
{
    return (unit >= 0x202A && unit <= 0x202E) || (unit >= 0x2066 && unit <= 0x2069) || unit == 0x200E
        || unit == 0x200F || unit == 0x061C || unit == 0x2028 || unit == 0x2029;
}

enum class Backslash { escaped, kept };

QString escaped(const QString &text, Backslash backslash)
{
    QString shown;
    shown.reserve(text.size());
    for (const QChar character : text) {
        const char16_t unit = character.unicode();
        if (unit == u'\\' && backslash == Backslash::escaped) {
            shown.append(QLatin1String("\\\\"));
            continue;
        }
        if (character.category() != QChar::Other_Control && !isInvisibleControl(unit)) {
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

} // namespace

QString visibleControls(const QString &text)
{
    return escaped(text, Backslash::escaped);
}

QString visibleInMessage(const QString &message)
{
    return escaped(message, Backslash::kept);
}

QString shownInMessage(const QString &text)
{
    constexpr qsizetype longest = 200;
    const QString cut = ProfileNames::cut(text, longest);
    return visibleControls(cut) + (cut.size() < text.size() ? QStringLiteral("…") : QString());
}
