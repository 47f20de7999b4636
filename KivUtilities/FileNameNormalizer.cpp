#include "KivUtilities/FileNameNormalizer.h"

#include <QTextBoundaryFinder>

namespace KivUtilities {

namespace {

bool isRemoved(char32_t c)
{
    switch (c) {
    case U'/':
    case U'\\':
    case U':':
    case U'*':
    case U'?':
    case U'"':
    case U'<':
    case U'>':
    case U'|':
        return true;
    default:
        break;
    }
    const QChar::Category category = QChar::category(c);
    return category == QChar::Other_Control || category == QChar::Other_Format;
}

bool isTrimmed(char32_t c)
{
    if (c == U'.' || (c >= 0x0A && c <= 0x0D) || c == 0x85)
        return true;
    const QChar::Category category = QChar::category(c);
    return category == QChar::Separator_Space || category == QChar::Separator_Line
        || category == QChar::Separator_Paragraph;
}

QString withoutRemovedCharacters(const QString &text)
{
    QString kept;
    kept.reserve(text.size());
    for (const char32_t c : text.toUcs4()) {
        if (!isRemoved(c))
            kept += QString::fromUcs4(&c, 1);
    }
    return kept;
}

QString trimmed(const QString &text)
{
    QList<uint> codePoints = text.toUcs4();
    qsizetype begin = 0;
    qsizetype end = codePoints.size();
    while (begin < end && isTrimmed(codePoints[begin]))
        ++begin;
    while (end > begin && isTrimmed(codePoints[end - 1]))
        --end;
    return QString::fromUcs4(reinterpret_cast<const char32_t *>(codePoints.constData()) + begin, end - begin);
}

// The longest prefix that ends at a grapheme boundary and keeps within both limits.
QString cut(const QString &text, int maximumCharacters, int maximumBytes)
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype keep = 0;
    qsizetype bytes = 0;
    int characters = 0;
    qsizetype start = 0;
    while (characters < maximumCharacters) {
        const qsizetype boundary = finder.toNextBoundary();
        if (boundary < 0)
            break;
        bytes += text.mid(start, boundary - start).toUtf8().size();
        if (bytes > maximumBytes)
            break;
        keep = boundary;
        start = boundary;
        ++characters;
    }
    return text.left(keep);
}

} // namespace

QString FileNameNormalizer::normalize(const QString &text) const
{
    QString name = text;
    name.replace(QLatin1Char('\n'), QLatin1Char(' '));
    name.replace(QLatin1Char('\r'), QLatin1Char(' '));
    name.replace(QLatin1Char('\t'), QLatin1Char(' '));
    name = withoutRemovedCharacters(name);
    while (name.contains(QLatin1String("  ")))
        name.replace(QLatin1String("  "), QLatin1String(" "));
    name = trimmed(name);
    if (name.isEmpty())
        return QStringLiteral("Untitled");
    name = cut(name, maximumCharacters, maximumUtf8Bytes);
    // Only a single character longer than the byte limit can leave nothing.
    return name.isEmpty() ? QStringLiteral("Untitled") : name;
}

} // namespace KivUtilities
