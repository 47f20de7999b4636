#pragma once

#include "KivUtilities/Binding.h"

#include <QList>
#include <QString>
#include <QWidget>

#include <optional>

class QComboBox;
class QLabel;

namespace KivUtilities {

// The settings control for a setting whose value is one case of an enumeration: a title (and an
// optional explanatory line) next to a pop-up listing every case by its title. The selection is a
// two-way binding to the case's raw text; bound to a user default, choosing a case writes it at once.
class DefaultsEnumPicker : public QWidget
{
    Q_OBJECT
public:
    struct Case
    {
        QString rawValue;
        QString title;
    };

    DefaultsEnumPicker(const QString &title, const std::optional<QString> &description, QList<Case> cases,
                       Binding<QString> value, QWidget *parent = nullptr);

    // The cases of an enumeration, in the order listed, with their raw texts and titles.
    template<typename E, typename Raw, typename Title>
    static QList<Case> cases(const QList<E> &all, Raw rawValue, Title title)
    {
        QList<Case> made;
        for (const E &value : all)
            made.append({QString(rawValue(value)), QString(title(value))});
        return made;
    }

    // A binding to a key of the program's standard user defaults, stored as text.
    static Binding<QString> standardDefaultsBinding(const QString &key);

    QComboBox *comboBox() const { return m_combo; }
    QString titleText() const;
    QString descriptionText() const;

private:
    void showBoundValue();

    QList<Case> m_cases;
    Binding<QString> m_value;
    QLabel *m_title;
    QLabel *m_description;
    QComboBox *m_combo;
};

} // namespace KivUtilities
