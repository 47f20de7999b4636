#pragma once

#include <QDialog>

// The settings sheet of an application that acts on one chosen item of its own (Obsidian's vault,
// VS Code's profile): the item's picker in a group, a note under it and a confirming button.
// Nothing is saved on closing: the picker stores the choice when it is made.
class ChoiceSheet : public QDialog
{
    Q_OBJECT

public:
    // The sheet takes the picker over.
    ChoiceSheet(const QString &title, QWidget *picker, const QString &footer, QWidget *parent = nullptr);
};
