#include "KivIntroduction/IntroductionPages.h"

#include "KivApp/RoundedFrame.h"
#include "KivIntroduction/IntroductionBlocks.h"
#include "KivIntroduction/IntroductionModel.h"

#include "KivUtilities/Detached.h"
#include "KivUtilities/Symbols.h"
#include "platform/UserDefaults.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QPointer>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <QVariantAnimation>

namespace KivIntroduction {

namespace {

// The frame every page kind shares: 40 points of padding round centred content, on a background.
QWidget *pageFrame(const QString &objectName, const std::optional<QColor> &background, QWidget *parent,
                   QBoxLayout *content)
{
    auto *page = new QWidget(parent);
    page->setObjectName(objectName);
    if (background) {
        page->setAutoFillBackground(true);
        QPalette palette = page->palette();
        palette.setColor(QPalette::Window, *background);
        page->setPalette(palette);
    }
    auto *outer = new QVBoxLayout(page);
    outer->setContentsMargins(40, 40, 40, 40);
    outer->addStretch();
    outer->addLayout(content);
    outer->addStretch();
    return page;
}

QGraphicsOpacityEffect *transparent(QWidget *widget)
{
    auto *effect = new QGraphicsOpacityEffect(widget);
    effect->setOpacity(0);
    widget->setGraphicsEffect(effect);
    return effect;
}

std::function<void()> &quitHandler()
{
    static std::function<void()> handler;
    return handler;
}

void storeLicenseAnswer(bool accepted)
{
    Platform::UserDefaults &defaults = Platform::UserDefaults::standard();
    defaults.setValue(LicenseIntroductionPage::didAcceptLicenseKey, accepted);
    defaults.synchronize();
}

void rejectLicense()
{
    storeLicenseAnswer(false);
    if (quitHandler())
        quitHandler()();
    else
        QCoreApplication::quit();
}

} // namespace

StartIntroductionPage::StartIntroductionPage(QString header, QString text)
    : m_header(std::move(header))
    , m_text(std::move(text))
{ }

QWidget *StartIntroductionPage::makeView(IntroductionModel &model, QWidget *parent)
{
    auto *content = new QVBoxLayout;
    content->setSpacing(0);
    auto *icon = new AppIcon;
    content->addWidget(icon, 0, Qt::AlignHCenter);
    auto *title = new TitleView(m_header);
    title->setContentsMargins(0, 20, 0, 0);
    auto *subtitle = new SubtitleView(m_text, Qt::AlignCenter);
    auto *continueButton = IntroductionButtons::continueButton(model, nullptr);
    auto *buttonRow = new QHBoxLayout;
    buttonRow->setContentsMargins(0, 80, 0, 0);
    buttonRow->addWidget(continueButton, 0, Qt::AlignHCenter);
    content->addWidget(title);
    content->addWidget(subtitle);
    content->addLayout(buttonRow);
    QWidget *page = pageFrame(QStringLiteral("StartIntroductionPage"), std::nullopt, parent, content);
    page->setProperty("state", int(AnimationState::icon));

    // The icon alone first; the texts and the button take no room until the icon has shrunk.
    title->hide();
    subtitle->hide();
    continueButton->hide();
    QList<QGraphicsOpacityEffect *> effects {transparent(title), transparent(subtitle),
                                             transparent(continueButton)};

    // Runs once per page view, 0.3 s after it is made (the view is made when it comes on screen).
    QPointer<QWidget> guard(page);
    QTimer::singleShot(300, page, [guard, icon, title, subtitle, continueButton, effects] {
        if (!guard)
            return;
        guard->setProperty("state", int(AnimationState::title));
        title->show();
        subtitle->show();
        continueButton->show();
        // The page held the keyboard until the button that leads on could take it.
        if (guard->window()->focusWidget() == guard)
            continueButton->setFocus(Qt::OtherFocusReason);
        auto *shrink = new QVariantAnimation(guard);
        shrink->setStartValue(256);
        shrink->setEndValue(120);
        shrink->setDuration(600);
        shrink->setEasingCurve(QEasingCurve::OutCubic);
        QObject::connect(shrink, &QVariantAnimation::valueChanged, icon,
                         [icon](const QVariant &value) { icon->setExtent(value.toInt()); });
        QObject::connect(shrink, &QVariantAnimation::finished, guard, [guard, effects] {
            guard->setProperty("state", int(AnimationState::ready));
            for (QGraphicsOpacityEffect *effect : effects) {
                auto *fade = new QPropertyAnimation(effect, "opacity", effect);
                fade->setDuration(1000);
                fade->setEndValue(1.0);
                fade->setEasingCurve(QEasingCurve::InOutQuad);
                fade->start(QAbstractAnimation::DeleteWhenStopped);
            }
        });
        shrink->start(QAbstractAnimation::DeleteWhenStopped);
    });
    return page;
}

LicenseIntroductionPage::LicenseIntroductionPage(QString licenseFileName, std::optional<QString> title,
                                                 QString folder)
    : m_title(title ? *title : moduleText("License Agreement"))
    , m_licenseFileName(std::move(licenseFileName))
    , m_folder(std::move(folder))
{ }

bool LicenseIntroductionPage::isAvailable() const
{
    return !Platform::UserDefaults::standard().boolean(didAcceptLicenseKey);
}

void LicenseIntroductionPage::decline()
{
    rejectLicense();
}

void LicenseIntroductionPage::setQuitHandler(std::function<void()> quit)
{
    quitHandler() = std::move(quit);
}

QString LicenseIntroductionPage::licenseHtml() const
{
    QFile file(QDir(m_folder).filePath(m_licenseFileName));
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("<p>%1</p>")
            .arg(moduleText("The licence agreement could not be loaded.").toHtmlEscaped());
    return QString::fromUtf8(file.readAll());
}

QWidget *LicenseIntroductionPage::makeView(IntroductionModel &model, QWidget *parent)
{
    auto *content = new QVBoxLayout;
    content->setSpacing(24);
    content->addWidget(new TitleView(m_title));
    auto *text = new LicenseTextEditorTextEditor(licenseHtml());
    text->setMaximumSize(700, 350);
    auto *frame = new KivApp::RoundedFrame(text, 26, 10, false);
    frame->setObjectName(QStringLiteral("LicenseTextFrame"));
    content->addWidget(frame, 0, Qt::AlignHCenter);

    auto *buttons = new QHBoxLayout;
    auto *reject = new QPushButton(moduleText("Reject"));
    reject->setObjectName(QStringLiteral("RejectButton"));
    auto *accept = new QPushButton(moduleText("Accept"));
    accept->setObjectName(QStringLiteral("AcceptButton"));
    for (QPushButton *button : {reject, accept}) {
        button->setMinimumSize(110, 36);
        buttons->addWidget(button);
    }
    buttons->setAlignment(Qt::AlignHCenter);
    content->addLayout(buttons);
    QObject::connect(accept, &QPushButton::clicked, &model, [&model] {
        storeLicenseAnswer(true);
        model.next();
    });
    QObject::connect(reject, &QPushButton::clicked, &model, &rejectLicense);
    return pageFrame(QStringLiteral("LicenseIntroductionPage"), std::nullopt, parent, content);
}

CenteredTextPage::CenteredTextPage(QString id, QString title, std::optional<QString> subtitle,
                                   std::optional<QColor> background)
    : m_id(std::move(id))
    , m_title(std::move(title))
    , m_subtitle(std::move(subtitle))
    , m_background(std::move(background))
{ }

QWidget *CenteredTextPage::makeView(IntroductionModel &, QWidget *parent)
{
    auto *content = new QVBoxLayout;
    content->setSpacing(0);
    content->addWidget(new TitleView(m_title));
    if (m_subtitle)
        content->addWidget(new SubtitleView(*m_subtitle, Qt::AlignCenter));
    return pageFrame(QStringLiteral("CenteredTextPage"), m_background, parent, content);
}

TextWithImageIntroductionPage::TextWithImageIntroductionPage(QString id, QString title,
                                                             std::optional<QString> subtitle, QPixmap image,
                                                             Orientation orientation, int spacing)
    : m_id(std::move(id))
    , m_title(std::move(title))
    , m_subtitle(std::move(subtitle))
    , m_image(std::move(image))
    , m_orientation(orientation)
    , m_spacing(spacing)
{ }

namespace {

// A picture scaled to fit its room, keeping its proportions, in as many pixels as the screen shows
// there (twice as many each way at a scale of 2).
class FittedImage : public QLabel
{
public:
    FittedImage(QPixmap image)
        : m_image(std::move(image))
    {
        setObjectName(QStringLiteral("IntroductionImage"));
        setMinimumSize(1, 1);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        setAlignment(Qt::AlignCenter);
    }

protected:
    void resizeEvent(QResizeEvent *) override { fit(); }

    void paintEvent(QPaintEvent *event) override
    {
        // Moved to a screen of another scale, it is scaled anew for that screen.
        if (!m_image.isNull() && pixmap().devicePixelRatio() != devicePixelRatio())
            fit();
        QLabel::paintEvent(event);
    }

private:
    void fit()
    {
        if (m_image.isNull())
            return;
        const qreal ratio = devicePixelRatio();
        QPixmap fitted = m_image.scaled(size() * ratio, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        fitted.setDevicePixelRatio(ratio);
        setPixmap(fitted);
    }

    QPixmap m_image;
};

} // namespace

QWidget *TextWithImageIntroductionPage::makeView(IntroductionModel &, QWidget *parent)
{
    const bool horizontal = m_orientation == Orientation::horizontal;
    auto *text = new QVBoxLayout;
    auto *title = new TitleView(m_title);
    title->setAlignment(horizontal ? Qt::AlignLeft | Qt::AlignVCenter : Qt::AlignCenter);
    text->addWidget(title);
    if (m_subtitle)
        text->addWidget(new SubtitleView(*m_subtitle, horizontal ? Qt::AlignLeft : Qt::AlignHCenter));
    QBoxLayout *content = horizontal ? static_cast<QBoxLayout *>(new QHBoxLayout) : new QVBoxLayout;
    content->setSpacing(m_spacing);
    content->addLayout(text, 1);
    content->addWidget(new FittedImage(m_image), 1);
    return pageFrame(QStringLiteral("TextWithImageIntroductionPage"), std::nullopt, parent, content);
}

OperationPage::OperationPage(QString id, QString title, std::optional<QString> subtitle,
                             std::optional<QColor> background, bool moveForwardAutomatically,
                             Operation operation)
    : m_id(std::move(id))
    , m_title(std::move(title))
    , m_subtitle(std::move(subtitle))
    , m_background(std::move(background))
    , m_moveForwardAutomatically(moveForwardAutomatically)
    , m_operation(std::move(operation))
{ }

namespace {

// The working state of one operation page view.
class OperationPageView : public QWidget
{
public:
    OperationPageView(IntroductionModel &model, OperationPage::Operation operation, bool moveForward,
                      QWidget *parent)
        : QWidget(parent)
        , m_model(&model)
        , m_operation(std::move(operation))
        , m_moveForward(moveForward)
    { }

    QLabel *indicator = nullptr;

protected:
    void showEvent(QShowEvent *event) override
    {
        QWidget::showEvent(event);
        if (!m_didAppear) {
            m_didAppear = true;
            setWorking(true);
            KivUtilities::detached(run(), "introduction operation");
        } else if (m_isDone && m_moveForward && m_model && m_model->currentPage()
                   && m_model->currentPage()->id() == property("pageId").toString()) {
            QTimer::singleShot(0, m_model, &IntroductionModel::next);
        }
    }

private:
    void setWorking(bool working)
    {
        setProperty("isWorking", working);
        setProperty("isDone", m_isDone);
        if (working)
            indicator->setText(moduleText("Working…"));
        else
            KivUtilities::Symbols::apply(indicator, QStringLiteral("checkmark"), 64);
    }

    QCoro::Task<void> run()
    {
        QPointer<OperationPageView> self(this);
        m_model->setMovingForwardLocked(true);
        m_model->setMovingBackwardLocked(true);
        std::exception_ptr failure;
        try {
            if (m_operation)
                co_await m_operation();
        } catch (...) {
            failure = std::current_exception();
        }
        if (self) {
            m_isDone = true;
            setWorking(false);
            m_model->setMovingForwardLocked(false);
            m_model->setMovingBackwardLocked(false);
            if (m_moveForward)
                m_model->next();
        }
        if (failure)
            std::rethrow_exception(failure);
    }

    QPointer<IntroductionModel> m_model;
    OperationPage::Operation m_operation;
    bool m_moveForward;
    bool m_didAppear = false;
    bool m_isDone = false;
};

} // namespace

QWidget *OperationPage::makeView(IntroductionModel &model, QWidget *parent)
{
    auto *page = new OperationPageView(model, m_operation, m_moveForwardAutomatically, parent);
    page->setObjectName(QStringLiteral("OperationPage"));
    if (m_background) {
        page->setAutoFillBackground(true);
        QPalette palette = page->palette();
        palette.setColor(QPalette::Window, *m_background);
        page->setPalette(palette);
    }
    auto *outer = new QVBoxLayout(page);
    outer->setContentsMargins(40, 40, 40, 40);
    outer->setSpacing(0);
    outer->addStretch();
    outer->addWidget(new TitleView(m_title));
    if (m_subtitle)
        outer->addWidget(new SubtitleView(*m_subtitle, Qt::AlignCenter));
    page->indicator = new QLabel;
    page->indicator->setObjectName(QStringLiteral("OperationIndicator"));
    page->indicator->setAlignment(Qt::AlignCenter);
    page->indicator->setFixedHeight(80);
    page->indicator->setStyleSheet(QStringLiteral("color: #34a853;"));
    outer->addSpacing(48);
    outer->addWidget(page->indicator);
    outer->addStretch();
    page->setProperty("isWorking", false);
    page->setProperty("isDone", false);
    return page;
}

FinalIntroductionPage::FinalIntroductionPage(QString header, QString text)
    : m_header(std::move(header))
    , m_text(std::move(text))
{ }

QWidget *FinalIntroductionPage::makeView(IntroductionModel &model, QWidget *parent)
{
    auto *content = new QVBoxLayout;
    content->setSpacing(0);
    auto *title = new TitleView(m_header);
    title->setContentsMargins(0, 20, 0, 0);
    content->addWidget(title);
    content->addWidget(new SubtitleView(m_text, Qt::AlignCenter));
    auto *row = new QHBoxLayout;
    row->setContentsMargins(0, 80, 0, 0);
    row->addWidget(IntroductionButtons::finishButton(model, nullptr), 0, Qt::AlignHCenter);
    content->addLayout(row);
    return pageFrame(QStringLiteral("FinalIntroductionPage"), std::nullopt, parent, content);
}

} // namespace KivIntroduction
