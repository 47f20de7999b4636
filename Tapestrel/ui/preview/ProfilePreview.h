#pragma once

#include "Tapestrel/ui/preview/ProfilePreviewLayout.h"

#include <QList>
#include <QMetaObject>
#include <QPointer>
#include <QWidget>

class BackgroundView;
class Profile;

// A miniature of the desktop a profile produces: its background with the menu bar, Dock, widgets,
// folder icons and Stage Manager strip that its stored values ask for. It only reads the profile
// and follows its changes; it writes nothing and applies nothing.
class ProfilePreview : public QWidget
{
    Q_OBJECT

public:
    ProfilePreview(Profile *profile, double width, double height, QWidget *parent = nullptr);
    ~ProfilePreview() override;

    Profile *profile() const { return m_profile; }
    // The picture as last worked out from the profile.
    const ProfilePreviewLayout &layout() const { return m_layout; }
    BackgroundView *backgroundView() const { return m_backgroundView; }

    QSize sizeHint() const override;

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    class Elements;

    void observeOptions();
    void refresh();

    QPointer<Profile> m_profile;
    QSizeF m_size;
    ProfilePreviewLayout m_layout;
    BackgroundView *m_backgroundView;
    Elements *m_elements;
    QList<QMetaObject::Connection> m_optionConnections;
};
