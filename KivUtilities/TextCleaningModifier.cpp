#include "KivUtilities/TextCleaningModifier.h"

#include <QLineEdit>

namespace KivUtilities {

namespace {

bool isLineBreak(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= 0x0A && u <= 0x0D) || u == 0x85 || u == 0x2028 || u == 0x2029;
}

bool isHorizontalSpace(QChar c)
{
    return c == QLatin1Char('\t') || c.category() == QChar::Separator_Space;
}

QString trimmed(const QString &text, bool lineBreaksToo)
{
    auto trims = [lineBreaksToo](QChar c) {
        return isHorizontalSpace(c) || (lineBreaksToo && isLineBreak(c));
    };
    qsizetype start = 0;
    qsizetype end = text.size();
    while (start < end && trims(text.at(start)))
        ++start;
    while (end > start && trims(text.at(end - 1)))
        --end;
    return text.mid(start, end - start);
}

} // namespace

TextCleaningModifier::TextCleaningModifier(Binding<QString> value, QSet<Operations> options, QObject *parent)
    : QObject(parent)
    , m_value(std::move(value))
    , m_options(std::move(options))
{ }

TextCleaningModifier *TextCleaningModifier::attach(QLineEdit *field, QSet<Operations> options)
{
    Binding<QString> text;
    text.get = [field] {
        return field->text();
    };
    text.set = [field](const QString &value) {
        if (field->text() != value)
            field->setText(value);
    };
    auto *modifier = new TextCleaningModifier(std::move(text), std::move(options), field);
    connect(field, &QLineEdit::returnPressed, modifier, &TextCleaningModifier::submit);
    return modifier;
}

QString TextCleaningModifier::clean(QString text, const QSet<Operations> &options)
{
    if (options.contains(Operations::RemoveWhitespaces))
        text = trimmed(text, false);
    if (options.contains(Operations::RemoveWhitespacesAndNewLines))
        text = trimmed(text, true);
    if (options.contains(Operations::ReplaceNewLineCharacterBySpace))
        text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return text;
}

void TextCleaningModifier::submit()
{
    if (!m_value.get || !m_value.set)
        return;
    // Each operation reads and writes through the binding, as the field would see it.
    for (Operations operation : {Operations::RemoveWhitespaces, Operations::RemoveWhitespacesAndNewLines,
                                 Operations::ReplaceNewLineCharacterBySpace}) {
        if (m_options.contains(operation))
            m_value.set(clean(m_value.get(), {operation}));
    }
}

} // namespace KivUtilities
