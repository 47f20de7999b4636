#pragma once

#include "KivIntroduction/IntroductionPage.h"

#include <QColor>
#include <QCoro/QCoroTask>
#include <QPixmap>

#include <functional>
#include <optional>

namespace KivIntroduction {

// The first page: the application's icon alone, then smaller with the header, the text and
// "Continue" fading in.
class StartIntroductionPage : public IntroductionPage
{
public:
    enum class AnimationState { icon, title, ready };

    StartIntroductionPage(QString header, QString text);
    QString id() const override { return QStringLiteral("start"); }
    bool showBottomBar() const override { return false; }
    QWidget *makeView(IntroductionModel &model, QWidget *parent) override;

private:
    QString m_header;
    QString m_text;
};

// The licence agreement with "Reject" and "Accept". Accepting stores true under "didAcceptLicense"
// and moves on; from then on the page is skipped. Rejecting stores false and quits the application.
class LicenseIntroductionPage : public IntroductionPage
{
public:
    static inline const QString didAcceptLicenseKey = QStringLiteral("didAcceptLicense");

    // The licence file is read (as HTML) from the folder, the application's resources by default.
    explicit LicenseIntroductionPage(QString licenseFileName, std::optional<QString> title = std::nullopt,
                                     QString folder = QStringLiteral(":/"));

    QString id() const override { return QStringLiteral("license"); }
    bool showBottomBar() const override { return false; }
    bool isAvailable() const override;
    // Until the licence is accepted the introduction cannot end any other way than by an answer.
    bool awaitsAnswer() const override { return isAvailable(); }
    // What "Reject" does.
    void decline() override;
    QWidget *makeView(IntroductionModel &model, QWidget *parent) override;

    QString title() const { return m_title; }
    // The licence text; a short notice when the file is missing or unreadable.
    QString licenseHtml() const;

    // How "Reject" quits; the application's quit by default (tests replace it).
    static void setQuitHandler(std::function<void()> quit);

private:
    QString m_title;
    QString m_licenseFileName;
    QString m_folder;
};

// A title and an optional subtitle, centred.
class CenteredTextPage : public IntroductionPage
{
public:
    CenteredTextPage(QString id, QString title, std::optional<QString> subtitle = std::nullopt,
                     std::optional<QColor> background = std::nullopt);
    QString id() const override { return m_id; }
    bool showBottomBar() const override { return true; }
    QWidget *makeView(IntroductionModel &model, QWidget *parent) override;

private:
    QString m_id;
    QString m_title;
    std::optional<QString> m_subtitle;
    std::optional<QColor> m_background;
};

// A title, an optional subtitle and a picture, side by side or one above the other.
class TextWithImageIntroductionPage : public IntroductionPage
{
public:
    enum class Orientation { horizontal, vertical };

    TextWithImageIntroductionPage(QString id, QString title, std::optional<QString> subtitle, QPixmap image,
                                  Orientation orientation, int spacing);
    QString id() const override { return m_id; }
    bool showBottomBar() const override { return true; }
    QWidget *makeView(IntroductionModel &model, QWidget *parent) override;

private:
    QString m_id;
    QString m_title;
    std::optional<QString> m_subtitle;
    QPixmap m_image;
    Orientation m_orientation;
    int m_spacing;
};

// Runs an operation when first shown, with both navigation directions locked until it ends; then
// a green check mark, and the next page without a click when asked.
class OperationPage : public IntroductionPage
{
public:
    using Operation = std::function<QCoro::Task<void>()>;

    OperationPage(QString id, QString title, std::optional<QString> subtitle,
                  std::optional<QColor> background, bool moveForwardAutomatically, Operation operation);
    QString id() const override { return m_id; }
    bool showBottomBar() const override { return true; }
    QWidget *makeView(IntroductionModel &model, QWidget *parent) override;

private:
    QString m_id;
    QString m_title;
    std::optional<QString> m_subtitle;
    std::optional<QColor> m_background;
    bool m_moveForwardAutomatically;
    Operation m_operation;
};

// The last page: header, text and its own "Finish".
class FinalIntroductionPage : public IntroductionPage
{
public:
    FinalIntroductionPage(QString header, QString text);
    QString id() const override { return QStringLiteral("end"); }
    bool showBottomBar() const override { return false; }
    QWidget *makeView(IntroductionModel &model, QWidget *parent) override;

private:
    QString m_header;
    QString m_text;
};

} // namespace KivIntroduction
