#pragma once

#include <QObject>
#include <QString>
#include <QVariant>

#include <optional>

// The program's own settings in its standard user defaults. A default applies while the key has no
// stored value; nothing is written until a property is set. Changes made anywhere (another Defaults
// object, the defaults tool) are announced through the property's signal.
class Defaults : public QObject
{
    Q_OBJECT
    Q_PROPERTY(
        bool showMenuBarIcon READ showMenuBarIcon WRITE setShowMenuBarIcon NOTIFY showMenuBarIconChanged)
    Q_PROPERTY(QString activeEditorTab READ activeEditorTabText WRITE setActiveEditorTabText NOTIFY
                   activeEditorTabChanged)
    Q_PROPERTY(bool didApplyAnyProfile READ didApplyAnyProfile WRITE setDidApplyAnyProfile NOTIFY
                   didApplyAnyProfileChanged)
    Q_PROPERTY(QString lastAppliedProfileID READ lastAppliedProfileID WRITE setLastAppliedProfileID NOTIFY
                   lastAppliedProfileIDChanged)
    Q_PROPERTY(bool showDockIcon READ showDockIcon WRITE setShowDockIcon NOTIFY showDockIconChanged)
    Q_PROPERTY(bool confirmTerminatingITerm READ confirmTerminatingITerm WRITE setConfirmTerminatingITerm
                   NOTIFY confirmTerminatingITermChanged)

public:
    static const QString showMenuBarIconKey; // "showMenuBarIcon"
    static const QString activeEditorTabKey; // "activeEditorTab"
    static const QString didApplyAnyProfileKey; // "didApplyAnyProfile"
    static const QString lastAppliedProfileIDKey; // "lastAppliedProfileID"
    static const QString showDockIconKey; // "showDockIcon"
    static const QString confirmTerminatingITermKey; // "confirmTerminatingITerm"

    explicit Defaults(QObject *parent = nullptr);

    bool showMenuBarIcon() const; // default true
    void setShowMenuBarIcon(bool show);
    // The tag of the selected editor tab ("background", "system", "apps", "developer"); none by default.
    std::optional<QString> activeEditorTab() const;
    void setActiveEditorTab(const std::optional<QString> &tab);
    bool didApplyAnyProfile() const; // default false
    void setDidApplyAnyProfile(bool applied);
    QString lastAppliedProfileID() const; // default empty
    void setLastAppliedProfileID(const QString &id);
    bool showDockIcon() const; // default true
    void setShowDockIcon(bool show);
    // Kept for settings files that hold it; the iTerm2 theme's relaunch question does not consult it
    // (that question has its own "do not show again" choice).
    bool confirmTerminatingITerm() const; // default true
    void setConfirmTerminatingITerm(bool confirm);

signals:
    void showMenuBarIconChanged();
    void activeEditorTabChanged();
    void didApplyAnyProfileChanged();
    void lastAppliedProfileIDChanged();
    void showDockIconChanged();
    void confirmTerminatingITermChanged();

private:
    // The property form of activeEditorTab: the empty text stands for none.
    QString activeEditorTabText() const { return activeEditorTab().value_or(QString()); }
    void setActiveEditorTabText(const QString &tab);
    static QVariant stored(const QString &key);
    static void store(const QString &key, const QVariant &value);
    void keyChanged(const QString &key);
};
