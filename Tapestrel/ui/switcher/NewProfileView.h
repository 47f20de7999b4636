#pragma once

#include <QWidget>

#include <functional>

class QLineEdit;
class QPushButton;

// The small form in the switcher's top bar that names a new profile. It creates nothing itself: a
// submitted name goes to `create`, which makes the profile from the current settings.
class NewProfileView : public QWidget
{
    Q_OBJECT

public:
    NewProfileView(const QString &initialName, std::function<void(const QString &)> create,
                   QWidget *parent = nullptr);

    QLineEdit *nameField() const { return m_field; }
    QPushButton *cancelButton() const { return m_cancel; }
    QPushButton *addButton() const { return m_add; }

    void submit();
    void cancel();

signals:
    // The form is done (submitted or cancelled) and should fold away.
    void finished();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    std::function<void(const QString &)> m_create;
    QLineEdit *m_field;
    QPushButton *m_cancel;
    QPushButton *m_add;
    bool m_done = false;
};
