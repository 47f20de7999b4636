#pragma once

#include <QWidget>

#include <optional>

class AppConfig;
class AppIcon;
class QComboBox;
class QHBoxLayout;
class QLabel;
class QPushButton;

// One row of the Apps settings page: an application that comes in several editions, whether any is
// installed and, when two or more are, which one the program uses. The choice is the bundle
// identifier stored in the program's preferences under the record's "<id>.bundleID" key; the rest
// of the program picks the edition by the same rule (AppConfig::currentBundleID), so a new choice
// counts from the next use of the application.
class AppBundlePicker : public QWidget
{
    Q_OBJECT

public:
    enum class State {
        notInstalled, // "Not Installed" and a link to the web site
        oneInstalled, // the path of the only edition, nothing to choose
        choice, // a menu of the installed editions
    };

    static constexpr int iconSize = 24;

    // The record must outlive the row.
    explicit AppBundlePicker(AppConfig *appConfig, QWidget *parent = nullptr);

    AppConfig *appConfig() const { return m_appConfig; }
    // The stored choice; none when the user never chose.
    std::optional<QString> bundleID() const;
    // Stores a choice at once.
    void setBundleID(const QString &bundleID);

    State state() const { return m_state; }
    AppIcon *icon() const { return m_icon; }
    QLabel *nameLabel() const { return m_name; }
    // The parts of the current state; null when the state does not show them.
    QLabel *notInstalledLabel() const { return m_notInstalled; }
    QPushButton *websiteButton() const { return m_website; }
    QLabel *pathLabel() const { return m_path; }
    QLabel *hintLabel() const { return m_hint; }
    QComboBox *picker() const { return m_picker; }

    // Decides the state again from what is installed and stored. Showing the row does it too.
    void refresh();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void clearTrailing();

    AppConfig *m_appConfig;
    State m_state = State::notInstalled;
    AppIcon *m_icon;
    QLabel *m_name;
    QWidget *m_trailing = nullptr;
    QLabel *m_notInstalled = nullptr;
    QPushButton *m_website = nullptr;
    QLabel *m_path = nullptr;
    QLabel *m_hint = nullptr;
    QComboBox *m_picker = nullptr;
};
