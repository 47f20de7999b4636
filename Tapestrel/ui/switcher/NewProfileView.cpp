#include "Tapestrel/ui/switcher/NewProfileView.h"

#include "Tapestrel/model/ProfileNames.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

NewProfileView::NewProfileView(const QString &initialName, std::function<void(const QString &)> create,
                               QWidget *parent)
    : QWidget(parent)
    , m_create(std::move(create))
    , m_field(new QLineEdit(initialName, this))
    , m_cancel(new QPushButton(tr("Cancel"), this))
    , m_add(new QPushButton(tr("Add Profile"), this))
{
    setObjectName(QStringLiteral("NewProfileView"));
    m_field->setPlaceholderText(tr("Profile Name"));
    m_field->setMaxLength(int(ProfileNames::maximumLength));
    m_field->installEventFilter(this);
    m_add->setDefault(true);

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(8, 0, 8, 0);
    layout->addWidget(m_field, 1);
    layout->addWidget(m_cancel);
    layout->addWidget(m_add);

    connect(m_cancel, &QPushButton::clicked, this, &NewProfileView::cancel);
    connect(m_add, &QPushButton::clicked, this, &NewProfileView::submit);
    // The field takes the keyboard once the form has settled in.
    QTimer::singleShot(100, m_field, [field = m_field] {
        field->setFocus();
        field->selectAll();
    });
}

void NewProfileView::submit()
{
    // A second Return while the form folds away must not make a second profile.
    if (m_done)
        return;
    m_done = true;
    if (m_create)
        m_create(m_field->text());
    emit finished();
}

void NewProfileView::cancel()
{
    if (m_done)
        return;
    m_done = true;
    emit finished();
}

bool NewProfileView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_field && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            submit();
            return true;
        }
        if (key == Qt::Key_Escape) {
            cancel();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
