#pragma once

#include "Tapestrel/model/Profile.h"

#include <QPointer>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <optional>

class AppConfig;
class AppIcon;
class QLabel;
class QVBoxLayout;
class SynchronizedOptionsStore;

// The editor section of one integrated application: a header with the application's icon, its
// title and an optional extra view; the application's option rows; and a footer with an optional
// comment and extra view. The section is there only while the application is installed: it asks
// again whenever it is refreshed (the tab does so each time it comes on screen) and builds its
// rows the first time the application is found, so that nothing is added to a profile for an
// application that is not there.
//
// Each application's section (`AlfredSection`, ...) is an AppSection with its own title and rows.
class AppSection : public QWidget
{
    Q_OBJECT

public:
    using ViewBuilder = std::function<QWidget *()>;

    static constexpr int iconSize = 20;

    // The record must outlive the section (the registry holds it).
    AppSection(const QString &title, const std::optional<QString> &comment, Profile *profile,
               const AppConfig *config, ViewBuilder content, ViewBuilder header = {}, ViewBuilder footer = {},
               QWidget *parent = nullptr);

    // The rows of the options with these identifiers, in this order (EditorPicker rows).
    static ViewBuilder rows(const QStringList &keys, Profile *profile, SynchronizedOptionsStore *store);

    QString title() const { return m_title; }
    std::optional<QString> comment() const { return m_comment; }
    Profile *profile() const { return m_profile; }
    const AppConfig *config() const { return m_config; }
    // Whether the application was installed at the last refresh.
    bool isPresent() const { return m_present; }
    // The section's parts, once built; null before.
    AppIcon *icon() const { return m_icon; }
    QLabel *titleLabel() const { return m_titleLabel; }
    QLabel *commentLabel() const { return m_commentLabel; }
    QWidget *content() const { return m_content; }

    // Asks whether the application is installed and shows or hides the section.
    void refresh();

private:
    void build();

    QString m_title;
    std::optional<QString> m_comment;
    QPointer<Profile> m_profile;
    const AppConfig *m_config;
    ViewBuilder m_contentBuilder;
    ViewBuilder m_headerBuilder;
    ViewBuilder m_footerBuilder;
    bool m_present = false;
    bool m_built = false;
    QVBoxLayout *m_layout;
    AppIcon *m_icon = nullptr;
    QLabel *m_titleLabel = nullptr;
    QLabel *m_commentLabel = nullptr;
    QWidget *m_content = nullptr;
};
