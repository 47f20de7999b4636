#pragma once

#include "KivIntroduction/IntroductionModel.h"

#include <QHash>
#include <QMargins>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <initializer_list>

class QAbstractAnimation;
class QFrame;
class QPushButton;
class QScrollArea;

namespace KivIntroduction {

class ProgressRing;

// Shows the current page of its model in a rounded area, slides pages in and out as the model
// moves, and shows the bottom bar (progress, Go Back, Continue or Finish) under pages that want it.
class IntroductionView : public QWidget
{
    Q_OBJECT

public:
    struct Style
    {
        int contentCornerRadius = 0;
        QMargins contentPadding;
        bool canShowBottomBarDivider = true;
        // Builds the widget drawn behind everything.
        std::function<QWidget *(QWidget *parent)> backgroundBuilder;

        static QWidget *defaultBackground(QWidget *parent);
        static Style standard(std::function<QWidget *(QWidget *)> backgroundBuilder = defaultBackground);
        static Style inset(std::function<QWidget *(QWidget *)> backgroundBuilder = defaultBackground);
    };

    // The level the introduction window floats at (the main menu's level); 0 is the normal level.
    // This desktop knows two levels: above other windows, or among them.
    static inline int introductionWindowLevel = 24;
    static inline const QString didDecreaseIntroductionWindowLevel =
        QStringLiteral("com.quorvane.KivIntroduction.didDecreaseIntroductionWindowLevel");
    static inline const QString didIncreaseIntroductionWindowLevel =
        QStringLiteral("com.quorvane.KivIntroduction.didIncreaseIntroductionWindowLevel");
    // Puts a window at a level: above others for a positive level, among them for 0.
    static void setWindowLevel(QWidget *window, int level);
    static int windowLevel(const QWidget *window);

    IntroductionView(IntroductionConfiguration configuration, Style style, QWidget *parent = nullptr);

    IntroductionModel &model() { return *m_model; }
    // The widget of the current page.
    QWidget *currentPageView() const;
    QWidget *bottomBar() const { return m_bottomBar; }

protected:
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void pageChanged();
    void updateBottomBar();
    // Puts the keyboard where the current page's first showing puts it: on the button that leads on
    // (the page's own or the bottom bar's), else on the page itself (the licence page, a page still
    // working), never on Go Back or another button that leads elsewhere. Every showing of a page does
    // so, by any key or click: Return after going back leads on again.
    void focusPage();
    // The page's view, in a frame that scrolls it when the window is smaller than the page.
    QScrollArea *viewFor(const PagePointer &page);
    void placePages();
    void hidePagesBut(std::initializer_list<const QWidget *> kept);

    IntroductionModel *m_model;
    Style m_style;
    QWidget *m_background = nullptr;
    QWidget *m_pageArea;
    QFrame *m_divider;
    QWidget *m_bottomBar;
    ProgressRing *m_progress;
    QPushButton *m_continue;
    QPushButton *m_finish;
    QHash<QString, QPointer<QScrollArea>> m_pageViews;
    QPointer<QScrollArea> m_shown;
    QPointer<QAbstractAnimation> m_transition;
    bool m_regularLevel = false;
};

// A small determinate progress circle.
class ProgressRing : public QWidget
{
    Q_OBJECT
public:
    explicit ProgressRing(QWidget *parent = nullptr);
    double value() const { return m_value; }
    void setValue(double value);
    QSize sizeHint() const override { return {20, 20}; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    double m_value = 0;
};

} // namespace KivIntroduction
