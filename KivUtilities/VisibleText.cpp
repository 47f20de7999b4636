#include "KivUtilities/VisibleText.h"

#include <algorithm>
#include <iterator>
#include <utility>

namespace KivUtilities {

namespace {

// The marks and isolates of writing direction, and the separators that break a line where no line
// break shows.
bool isInvisibleControl(char16_t unit)
{
    return (unit >= 0x202A && unit <= 0x202E) || (unit >= 0x2066 && unit <= 0x2069) || unit == 0x200E
        || unit == 0x200F || unit == 0x061C || unit == 0x2028 || unit == 0x2029;
}

// What stays as it is besides the characters that steer nothing.
enum class Kept { nothing, backslashes, lineBreaks };

QString escaped(const QString &text, Kept kept)
{
    QString shown;
    shown.reserve(text.size());
    for (const QChar character : text) {
        const char16_t unit = character.unicode();
        if (unit == u'\\' && kept != Kept::backslashes) {
            shown.append(QLatin1String("\\\\"));
            continue;
        }
        if ((character.category() != QChar::Other_Control && !isInvisibleControl(unit))
            || (unit == u'\n' && kept == Kept::lineBreaks)) {
            shown.append(character);
            continue;
        }
        // JSON's short escapes where it has one.
        constexpr std::pair<char16_t, const char *> shortForms[] = {
            {u'\b', "\\b"}, {u'\f', "\\f"}, {u'\n', "\\n"}, {u'\r', "\\r"}, {u'\t', "\\t"}};
        const auto *shortForm = std::find_if(std::begin(shortForms), std::end(shortForms),
                                             [unit](const auto &form) { return form.first == unit; });
        if (shortForm != std::end(shortForms))
            shown.append(QLatin1String(shortForm->second));
        else
            shown.append(QStringLiteral("\\u%1").arg(int(unit), 4, 16, QLatin1Char('0')));
    }
    return shown;
}

} // namespace

QString visibleControls(const QString &text)
{
    return escaped(text, Kept::nothing);
}

QString visibleInMessage(const QString &message)
{
    return escaped(message, Kept::backslashes);
}

QString visibleLines(const QString &text)
{
    return escaped(text, Kept::lineBreaks);
}

} // namespace KivUtilities
