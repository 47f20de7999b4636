#include "KivIntroduction/IntroductionBlocks.h"

#include "KivIntroduction/IntroductionModel.h"

#include <QApplication>
#include <QPushButton>
#include <QScrollBar>

namespace KivIntroduction {

QString moduleText(const char *source)
{
    return QCoreApplication::translate("KivIntroduction", source);
}

namespace {

QFont sized(int pixelSize, QFont::Weight weight = QFont::Normal)
{
    QFont font = QApplication::font();
    font.setPixelSize(pixelSize);
    font.setWeight(weight);
    return font;
}

void shade(QLabel *label, int alpha)
{
    QPalette palette = label->palette();
    QColor color = palette.color(QPalette::WindowText);
    color.setAlpha(alpha);
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
}

void makeLarge(QPushButton *button)
{
    button->setFont(sized(15));
    button->setMinimumHeight(36);
    button->setMinimumWidth(110);
}

} // namespace

TitleView::TitleView(const QString &text, QWidget *parent, int size)
    : QLabel(text, parent)
{
    setObjectName(QStringLiteral("TitleView"));
    setFont(sized(size, QFont::Bold));
    setAlignment(Qt::AlignCenter);
    setWordWrap(true);
}

SubtitleView::SubtitleView(const QString &text, Qt::Alignment alignment, QWidget *parent, int size)
    : QLabel(parent)
{
    setObjectName(QStringLiteral("SubtitleView"));
    setFont(sized(size));
    // Line spacing of 0.3 times the size.
    setText(QStringLiteral("<div style=\"line-height: 130%\">%1</div>").arg(text.toHtmlEscaped()));
    setTextFormat(Qt::RichText);
    setProperty("plainText", text);
    setAlignment(alignment);
    setWordWrap(true);
    setContentsMargins(0, 16, 0, 0);
    shade(this, 170);
}

AdditionalInfoView::AdditionalInfoView(const QString &text, QWidget *parent, int size)
    : QLabel(text, parent)
{
    setObjectName(QStringLiteral("AdditionalInfoView"));
    setFont(sized(size));
    setAlignment(Qt::AlignCenter);
    setWordWrap(true);
    shade(this, 110);
}

AppIcon::AppIcon(QWidget *parent)
    : QLabel(parent)
{
    setObjectName(QStringLiteral("AppIcon"));
    setAlignment(Qt::AlignCenter);
    setExtent(256);
}

void AppIcon::setExtent(int extent)
{
    setFixedSize(extent, extent);
    setPixmap(QApplication::windowIcon().pixmap(extent, extent));
}

LicenseTextEditorTextEditor::LicenseTextEditorTextEditor(const QString &html, QWidget *parent)
    : QTextBrowser(parent)
{
    setObjectName(QStringLiteral("LicenseTextEditorTextEditor"));
    setReadOnly(true);
    setTextInteractionFlags(Qt::NoTextInteraction);
    setOpenLinks(false);
    setFrameShape(QFrame::NoFrame);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    document()->setDocumentMargin(12);
    setHtml(html);
}

namespace IntroductionButtons {

namespace {

// A button that moves the model and is enabled while the model's flag allows it.
QPushButton *movingButton(const char *title, const QString &name, IntroductionModel &model,
                          void (IntroductionModel::*move)(), bool (IntroductionModel::*allowed)() const,
                          QWidget *parent)
{
    auto *button = new QPushButton(moduleText(title), parent);
    button->setObjectName(name);
    makeLarge(button);
    QObject::connect(button, &QPushButton::clicked, &model, move);
    auto follow = [button, &model, allowed] {
        button->setEnabled((model.*allowed)());
    };
    QObject::connect(&model, &IntroductionModel::changed, button, follow);
    follow();
    return button;
}

} // namespace

QPushButton *continueButton(IntroductionModel &model, QWidget *parent)
{
    QPushButton *button =
        movingButton(QT_TRANSLATE_NOOP("KivIntroduction", "Continue"), QStringLiteral("ContinueButton"),
                     model, &IntroductionModel::next, &IntroductionModel::canGoNext, parent);
    button->setDefault(true);
    return button;
}

QPushButton *goBackButton(IntroductionModel &model, QWidget *parent)
{
    return movingButton(QT_TRANSLATE_NOOP("KivIntroduction", "Go Back"), QStringLiteral("GoBackButton"),
                        model, &IntroductionModel::back, &IntroductionModel::canGoBack, parent);
}

QPushButton *finishButton(IntroductionModel &model, QWidget *parent)
{
    auto *button = new QPushButton(moduleText("Finish"), parent);
    button->setObjectName(QStringLiteral("FinishButton"));
    button->setDefault(true);
    makeLarge(button);
    // Records first, closes second: the introduction counts as shown even without a window.
    QObject::connect(button, &QPushButton::clicked, &model, &IntroductionModel::finish);
    return button;
}

} // namespace IntroductionButtons

} // namespace KivIntroduction
