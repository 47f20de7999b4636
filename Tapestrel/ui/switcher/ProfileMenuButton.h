#pragma once

#include <QPointer>
#include <QWidget>

#include <functional>

class Profile;
class ProfilePreview;
class QLabel;
class QPushButton;

// One tile of the switcher: the profile's preview, which applies the profile when clicked, over its
// name. Its context menu's "Edit" shows the profile in the main window.
class ProfileMenuButton : public QWidget
{
    Q_OBJECT

public:
    ProfileMenuButton(Profile *profile, std::function<void(Profile *)> apply,
                      std::function<void(Profile *)> edit, QWidget *parent = nullptr);

    Profile *profile() const { return m_profile; }
    QPushButton *previewButton() const { return m_button; }
    ProfilePreview *preview() const { return m_preview; }
    QLabel *nameLabel() const { return m_name; }
    bool isHover() const { return m_isHover; }

    // The context menu's one action, "Edit".
    void edit();

protected:
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void setHover(bool hover);
    void updateNameColor();

    QPointer<Profile> m_profile;
    std::function<void(Profile *)> m_apply;
    std::function<void(Profile *)> m_edit;
    QPushButton *m_button;
    ProfilePreview *m_preview;
    QLabel *m_name;
    bool m_isHover = false;
};
