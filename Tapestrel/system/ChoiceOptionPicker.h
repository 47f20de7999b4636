#pragma once

// Option.h needs the whole Profile type.
#include "Tapestrel/model/Profile.h"

#include "Tapestrel/model/Option.h"

#include <QColor>
#include <QIcon>
#include <QList>
#include <QPointer>
#include <QString>
#include <QWidget>

class QAbstractButton;
class QButtonGroup;
class QComboBox;
class QLabel;

// A picker that stores one of a fixed list of value texts in an option: a row of segments or a
// pop-up list, with a title in front. It follows the option: a value that no entry stands for
// selects nothing. Only a choice the user makes writes the option.
class ChoiceOptionPicker : public QWidget
{
    Q_OBJECT

public:
    enum class Style { segmented, popUp };

    struct Choice
    {
        QString value;
        QString title;
        QIcon icon; // none when null
        bool separatorAfter = false; // pop-up only
    };

    ChoiceOptionPicker(Option *option, const QString &title, const QList<Choice> &choices, Style style,
                       QWidget *parent = nullptr);

    Option *option() const { return m_option; }
    QString title() const;
    Style style() const { return m_style; }
    // The entries' titles in the order shown (separators left out).
    QStringList titles() const;
    // Whether a separator follows the entry with this title (pop-up only).
    bool hasSeparatorAfter(const QString &title) const;
    // The value of the selected entry; nothing when the option's value matches none.
    std::optional<QString> selectedValue() const;
    // What a user's click on the entry with this title does; false when there is none.
    bool choose(const QString &title);

    QComboBox *comboBox() const { return m_combo; }

protected:
    // Replaces the icons of the entries (same order as the choices), for swatches that follow data.
    void setIcons(const QList<QIcon> &icons);
    // Called after the user's choice has been written.
    virtual void chosen(const QString &value);
    void refresh();

private:
    void store(const QString &value);

    QPointer<Option> m_option;
    QList<Choice> m_choices;
    Style m_style;
    QLabel *m_label = nullptr;
    QComboBox *m_combo = nullptr;
    QButtonGroup *m_group = nullptr;
    QList<QAbstractButton *> m_buttons;
};
