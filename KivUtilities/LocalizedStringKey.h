#pragma once

#include <QCoreApplication>
#include <QMetaType>
#include <QString>

namespace KivUtilities {

// A text that is translated when it is shown, not when it is made: the key is looked up in the
// application's string table ("Localizable" context) at display time. Passing one through a
// notification's user info (rather than a finished QString) says "translate me".
struct LocalizedStringKey
{
    QString key;

    LocalizedStringKey() = default;
    explicit LocalizedStringKey(QString text)
        : key(std::move(text))
    { }

    QString resolved() const { return QCoreApplication::translate("Localizable", key.toUtf8().constData()); }
    bool operator==(const LocalizedStringKey &other) const = default;
};

} // namespace KivUtilities

Q_DECLARE_METATYPE(KivUtilities::LocalizedStringKey)
