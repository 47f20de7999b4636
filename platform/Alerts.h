#pragma once

#include <QIcon>
#include <QKeySequence>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <utility>

class QMessageBox;
class QWidget;

namespace Platform {

// What one modal alert asks. Buttons are listed in the order they are shown; by default the first
// one answers Return. Escape answers `cancelButton` when it names one; otherwise Escape does
// nothing and the user has to choose a button.
struct Alert
{
    enum class Style { Informational, Warning, Critical };

    QString message;
    QString informativeText;
    QStringList buttons;
    // Shown as a check box below the text when present ("Don't ask again").
    std::optional<QString> suppressionTitle;
    bool suppressionChecked = false;
    int defaultButton = 0; // -1: no default button
    int cancelButton = -1; // -1: Escape does not end the alert
    // Further keys that choose a button (key, button index), beside Return and Escape.
    QList<std::pair<QKeySequence, int>> shortcuts;
    Style style = Style::Warning;
    QIcon icon;
};

struct AlertResult
{
    // Index into Alert::buttons; -1 when the alert ended without any button (closed by the window
    // system while no Escape button was set).
    int button = -1;
    bool suppressed = false;
};

// Modal alerts. People see a QMessageBox titled with the program's name, its texts wrapped to fit
// whatever the font; tests install an answerer (see ScriptedAlertAnswerer)
// so that no alert ever waits for a person.
class Alerts
{
public:
    using Answerer = std::function<AlertResult(const Alert &)>;

    // Runs the alert modally and returns the user's answer. Must be called on the GUI thread.
    static AlertResult run(const Alert &alert, QWidget *parent = nullptr);

    // The message box that run() shows to people, built but not shown. The button at index i of
    // the alert is the box's buttons()[i]; the suppression box, if any, is its checkBox().
    static QMessageBox *makeMessageBox(const Alert &alert, QWidget *parent = nullptr);

    // Replaces the message box by a function; an empty function brings the message box back.
    static void setAnswerer(Answerer answerer);
    static bool hasAnswerer();
};

// Answers every alert shown while it exists, in place of a person, and records them.
// Answers queued with answer() are used first, in order; after that every alert gets
// the fallback answer (its default button, suppression box unchanged, unless set otherwise).
class ScriptedAlertAnswerer
{
public:
    ScriptedAlertAnswerer();
    ~ScriptedAlertAnswerer();
    ScriptedAlertAnswerer(const ScriptedAlertAnswerer &) = delete;
    ScriptedAlertAnswerer &operator=(const ScriptedAlertAnswerer &) = delete;

    void answer(int button, bool suppressed = false);
    // Answers by the button's title; an alert without that title fails the answer with -1.
    void answer(const QString &buttonTitle, bool suppressed = false);
    void setFallback(std::function<AlertResult(const Alert &)> fallback);

    const QList<Alert> &alerts() const { return m_alerts; }
    int pendingAnswers() const { return int(m_answers.size()); }

private:
    AlertResult respond(const Alert &alert);

    struct Scripted
    {
        std::optional<int> index;
        QString title;
        bool suppressed = false;
    };
    QList<Scripted> m_answers;
    QList<Alert> m_alerts;
    std::function<AlertResult(const Alert &)> m_fallback;
    Alerts::Answerer m_previous;
};

} // namespace Platform
