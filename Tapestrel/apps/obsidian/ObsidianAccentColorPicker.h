#pragma once

#include "Tapestrel/apps/obsidian/ObsidianAccentColor.h"

#include <QPointer>
#include <QWidget>

class Option;
class QComboBox;
class QLabel;
class QPushButton;

// "Accent Color": a pop-up of the three choices and, while "Custom" is chosen, a colour well. It
// follows the option's value and writes it at every choice.
class ObsidianAccentColorPicker : public QWidget
{
    Q_OBJECT

public:
    explicit ObsidianAccentColorPicker(Option *option, QWidget *parent = nullptr);

    // The choice binding: the option's value read as a choice.
    ObsidianAccentColor choice() const;
    // Writes a choice: "Custom" keeps a value that is a colour already, and else stores black.
    void setChoice(ObsidianAccentColor choice);
    // The colour binding: the value's colour, black when it is none.
    QColor color() const;
    // Writes the colour's text; its opacity is not kept.
    void setColor(const QColor &color);

    QStringList titles() const;
    bool isColorWellVisible() const;
    QComboBox *comboBox() const { return m_combo; }

private:
    void refresh();
    void openColorDialog();

    QPointer<Option> m_option;
    QLabel *m_label = nullptr;
    QComboBox *m_combo = nullptr;
    QPushButton *m_well = nullptr;
};
