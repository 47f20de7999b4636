#pragma once

// Option.h needs the whole Profile type.
#include "Tapestrel/model/Profile.h"

#include "Tapestrel/model/Option.h"

#include <QList>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <functional>

class QComboBox;
class QLabel;
class ThemeStoreSignals;

// The picker of a theme option: a title and a pop-up list holding "Don't set", a divider and the
// themes, under section headers where the application has built-in and custom themes (both
// sections always shown, also when empty). Choosing a row writes its value into the option at once;
// a stored value that no row carries selects nothing and stays stored. The rows are built again
// whenever the store changes; pickers whose store collects the user's themes have it do so each
// time they come on screen.
class ThemePicker : public QWidget
{
    Q_OBJECT

public:
    struct Row
    {
        QString title;
        QString value;
    };
    struct Section
    {
        QString header; // empty: rows without a header
        QList<Row> rows;
    };
    // One entry of the list as shown.
    struct Entry
    {
        enum class Kind { row, divider, header };
        Kind kind;
        QString title;
        QString value;

        friend bool operator==(const Entry &, const Entry &) = default;
    };
    using Sections = std::function<QList<Section>()>;

    static QString builtInHeader();
    static QString customHeader();
    static QString userHeader();
    static QString doNotSetTitle();

    // `sections` gives the rows as they are now; `reloadOnShow`, when given, is called before the
    // rows are built each time the picker comes on screen. The store must outlive the picker or be
    // owned by it.
    ThemePicker(Option *option, const QString &title, const QString &doNotSetValue, Sections sections,
                ThemeStoreSignals *store, std::function<void()> reloadOnShow = {}, QWidget *parent = nullptr);

    Option *option() const { return m_option; }
    QString title() const;
    QComboBox *comboBox() const { return m_combo; }
    QList<Entry> entries() const;
    // The value of the selected row; nothing when none is selected.
    std::optional<QString> selectedValue() const;
    // What the user's choice of the first row with this title does; false when there is none.
    bool choose(const QString &title);
    // Builds the rows again from the store.
    void rebuild();
    // Whether a divider follows "Don't set" (the default).
    void setHasDivider(bool hasDivider);

protected:
    void showEvent(QShowEvent *event) override;

private:
    void refreshSelection();

    QPointer<Option> m_option;
    QString m_doNotSetValue;
    Sections m_sections;
    std::function<void()> m_reloadOnShow;
    bool m_hasDivider = true;
    QLabel *m_label;
    QComboBox *m_combo;
};

// The sections of a store of (`id`, `name`) records: "Built-in Themes" and the custom header.
template<typename Store>
QList<ThemePicker::Section> builtInAndCustomSections(const Store &store, const QString &customHeader)
{
    ThemePicker::Section builtIn {ThemePicker::builtInHeader(), {}};
    for (const auto &theme : store.defaultThemes())
        builtIn.rows.append({theme.name, theme.id});
    ThemePicker::Section custom {customHeader, {}};
    for (const auto &theme : store.customThemes())
        custom.rows.append({theme.name, theme.id});
    return {builtIn, custom};
}
