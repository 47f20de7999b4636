#pragma once

#include <QLabel>
#include <QTextBrowser>

class QPushButton;

namespace KivIntroduction {

class IntroductionModel;

// The text building blocks of the pages.
class TitleView : public QLabel
{
    Q_OBJECT
public:
    explicit TitleView(const QString &text, QWidget *parent = nullptr, int size = 56);
};

class SubtitleView : public QLabel
{
    Q_OBJECT
public:
    SubtitleView(const QString &text, Qt::Alignment alignment, QWidget *parent = nullptr, int size = 24);
};

class AdditionalInfoView : public QLabel
{
    Q_OBJECT
public:
    explicit AdditionalInfoView(const QString &text, QWidget *parent = nullptr, int size = 15);
};

// The running application's icon, scaled to the label's size.
class AppIcon : public QLabel
{
    Q_OBJECT
public:
    explicit AppIcon(QWidget *parent = nullptr);
    void setExtent(int extent);
};

// The licence text: read-only, not selectable, no background, a permanent vertical scroller.
class LicenseTextEditorTextEditor : public QTextBrowser
{
    Q_OBJECT
public:
    explicit LicenseTextEditorTextEditor(const QString &html, QWidget *parent = nullptr);
    // As large as its largest size where there is room; smaller on a small screen, where the text
    // scrolls within it.
    QSize sizeHint() const override { return maximumSize(); }
};

// The navigation buttons of the bottom bar and the pages. Each acts on the model and follows its
// flags: Continue while it can go next, Go Back while it can go back. Finish has no rule of its
// own (the bottom bar disables it while the model cannot finish).
namespace IntroductionButtons {
QPushButton *continueButton(IntroductionModel &model, QWidget *parent);
QPushButton *goBackButton(IntroductionModel &model, QWidget *parent);
QPushButton *finishButton(IntroductionModel &model, QWidget *parent);
} // namespace IntroductionButtons

// The translated text of the module's own strings.
QString moduleText(const char *source);

} // namespace KivIntroduction
