#pragma once

#include "KivUtilities/Binding.h"

#include <QObject>
#include <QSet>
#include <QString>

class QLineEdit;

namespace KivUtilities {

// Tidies the text bound to a field when the user submits it (Return); nothing runs while typing.
class TextCleaningModifier : public QObject
{
    Q_OBJECT
public:
    enum class Operations { RemoveWhitespaces, RemoveWhitespacesAndNewLines, ReplaceNewLineCharacterBySpace };

    TextCleaningModifier(Binding<QString> value, QSet<Operations> options, QObject *parent = nullptr);
    // Cleans the field's own text when Return is pressed in it.
    static TextCleaningModifier *attach(QLineEdit *field, QSet<Operations> options);

    // The operations in their fixed order, whatever order the set was built in: trim horizontal
    // space, trim space and line breaks, then turn every line feed into a space.
    static QString clean(QString text, const QSet<Operations> &options);

    void submit();

private:
    Binding<QString> m_value;
    QSet<Operations> m_options;
};

} // namespace KivUtilities
