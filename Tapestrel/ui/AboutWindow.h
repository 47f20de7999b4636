#pragma once

#include <QDialog>

// The About window "about": the program's icon, name and version.
class AboutWindow : public QDialog
{
    Q_OBJECT

public:
    static inline const QString windowId = QStringLiteral("about");
    explicit AboutWindow(QWidget *parent = nullptr);
};
