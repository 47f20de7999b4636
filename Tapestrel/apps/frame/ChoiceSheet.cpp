#include "Tapestrel/apps/frame/ChoiceSheet.h"

#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLabel>
#include <QVBoxLayout>

ChoiceSheet::ChoiceSheet(const QString &title, QWidget *picker, const QString &footer, QWidget *parent)
    : QDialog(parent)
{
    setWindowTitle(title);
    auto *layout = new QVBoxLayout(this);

    auto *group = new QGroupBox(this);
    auto *groupLayout = new QVBoxLayout(group);
    picker->setParent(group);
    groupLayout->addWidget(picker);
    layout->addWidget(group);

    auto *note = new QLabel(footer, this);
    note->setObjectName(QStringLiteral("footer"));
    note->setTextFormat(Qt::PlainText);
    note->setForegroundRole(QPalette::PlaceholderText);
    note->setWordWrap(true);
    layout->addWidget(note);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
    setMinimumWidth(380);
}
