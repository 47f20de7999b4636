#include "platform/Alerts.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QShortcut>

namespace Platform {

namespace {

Alerts::Answerer &installedAnswerer()
{
    static Alerts::Answerer answerer;
    return answerer;
}

QMessageBox::Icon iconFor(Alert::Style style)
{
    switch (style) {
    case Alert::Style::Informational:
        return QMessageBox::Information;
    case Alert::Style::Warning:
        return QMessageBox::Warning;
    case Alert::Style::Critical:
        return QMessageBox::Critical;
    }
    return QMessageBox::Warning;
}

} // namespace

QMessageBox *Alerts::makeMessageBox(const Alert &alert, QWidget *parent)
{
    auto *box = new QMessageBox(parent);
    box->setWindowModality(parent ? Qt::WindowModal : Qt::ApplicationModal);
    // A task bar lists the alert under the program's name rather than untitled.
    box->setWindowTitle(QGuiApplication::applicationDisplayName());
    box->setIcon(iconFor(alert.style));
    if (!alert.icon.isNull())
        box->setIconPixmap(alert.icon.pixmap(64, 64));
    // Alerts quote names and paths of the user's data: shown as typed, never as markup.
    box->setTextFormat(Qt::PlainText);
    box->setText(alert.message);
    box->setInformativeText(alert.informativeText);
    if (auto *informative = box->findChild<QLabel *>(QStringLiteral("qt_msgbox_informativelabel")))
        informative->setTextFormat(Qt::PlainText);
    const QStringList buttons =
        alert.buttons.isEmpty() ? QStringList {QApplication::tr("OK")} : alert.buttons;
    for (int i = 0; i < buttons.size(); ++i) {
        // Roles only decide the layout; the order people see is the alert's order, so every
        // button gets the same role and QMessageBox keeps them in insertion order.
        QPushButton *button = box->addButton(buttons.at(i), QMessageBox::ActionRole);
        if (i == alert.defaultButton)
            box->setDefaultButton(button);
        if (i == alert.cancelButton)
            box->setEscapeButton(button);
    }
    if (alert.cancelButton < 0 || alert.cancelButton >= buttons.size()) {
        // Without an Escape button QMessageBox would pick one by itself (a lone button, say);
        // an alert that names none must not end on Escape.
        box->setEscapeButton(static_cast<QAbstractButton *>(nullptr));
    }
    const QList<QAbstractButton *> made = box->buttons();
    for (const auto &[keys, index] : alert.shortcuts) {
        if (index < 0 || index >= made.size())
            continue;
        QAbstractButton *button = made.at(index);
        auto *shortcut = new QShortcut(keys, box);
        QObject::connect(shortcut, &QShortcut::activated, button, &QAbstractButton::click);
    }
    // The informative text is wide enough for a sentence to take a few lines rather than a narrow
    // column of many. The message keeps no such floor: the box measures the message's unwrapped width
    // to decide whether to wrap it, and a floor in its place made a long message stay on one clipped
    // line (its middle sentence lost).
    if (auto *informative = box->findChild<QLabel *>(QStringLiteral("qt_msgbox_informativelabel")))
        informative->setMinimumWidth(box->fontMetrics().averageCharWidth() * 52);
    if (alert.suppressionTitle) {
        auto *check = new QCheckBox(*alert.suppressionTitle, box);
        check->setChecked(alert.suppressionChecked);
        box->setCheckBox(check);
    }
    return box;
}

AlertResult Alerts::run(const Alert &alert, QWidget *parent)
{
    if (const Answerer &answerer = installedAnswerer())
        return answerer(alert);

    std::unique_ptr<QMessageBox> box(makeMessageBox(alert, parent));
    box->exec();
    AlertResult result;
    const QList<QAbstractButton *> buttons = box->buttons();
    if (QAbstractButton *clicked = box->clickedButton())
        result.button = int(buttons.indexOf(clicked));
    if (result.button < 0 && alert.cancelButton >= 0 && alert.cancelButton < buttons.size())
        result.button = alert.cancelButton;
    if (box->checkBox())
        result.suppressed = box->checkBox()->isChecked();
    return result;
}

void Alerts::setAnswerer(Answerer answerer)
{
    installedAnswerer() = std::move(answerer);
}

bool Alerts::hasAnswerer()
{
    return bool(installedAnswerer());
}

ScriptedAlertAnswerer::ScriptedAlertAnswerer()
    : m_previous(installedAnswerer())
{
    Alerts::setAnswerer([this](const Alert &alert) { return respond(alert); });
}

ScriptedAlertAnswerer::~ScriptedAlertAnswerer()
{
    Alerts::setAnswerer(std::move(m_previous));
}

void ScriptedAlertAnswerer::answer(int button, bool suppressed)
{
    m_answers.append({button, {}, suppressed});
}

void ScriptedAlertAnswerer::answer(const QString &buttonTitle, bool suppressed)
{
    m_answers.append({std::nullopt, buttonTitle, suppressed});
}

void ScriptedAlertAnswerer::setFallback(std::function<AlertResult(const Alert &)> fallback)
{
    m_fallback = std::move(fallback);
}

AlertResult ScriptedAlertAnswerer::respond(const Alert &alert)
{
    m_alerts.append(alert);
    if (!m_answers.isEmpty()) {
        const Scripted next = m_answers.takeFirst();
        const int index = next.index ? *next.index : int(alert.buttons.indexOf(next.title));
        return {index, next.suppressed};
    }
    if (m_fallback)
        return m_fallback(alert);
    return {alert.defaultButton, alert.suppressionChecked};
}

} // namespace Platform
