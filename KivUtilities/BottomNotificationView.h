#pragma once

#include <QIcon>
#include <QString>
#include <QWidget>

namespace KivUtilities {

// The drawing of one bottom notice: a large symbol above one or two lines of text on a translucent
// rounded square of 200 by 200 points.
class BottomNotificationView : public QWidget
{
    Q_OBJECT
public:
    static constexpr int side = 200;
    static constexpr qreal cornerRadius = 19;
    static constexpr int symbolFrame = 100;
    static constexpr int symbolSize = 80;
    static constexpr qreal textSize = 18;
    static constexpr int textPadding = 12;

    BottomNotificationView(const QString &text, const QIcon &image, QWidget *parent = nullptr);

    QString text() const { return m_text; }
    QIcon image() const { return m_image; }

    // The text's pixel size: 18, shrunk in steps down to half of that until the text fits in two
    // lines of the square's inner width. Text that does not fit even then is cut off at two lines.
    static qreal fittedTextSize(const QString &text, const QFont &base);
    // The lines the text is laid out in (at most two, the last elided when it still does not fit).
    QStringList textLines() const;

    QSize sizeHint() const override { return {side, side}; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QFont textFont() const;

    QString m_text;
    QIcon m_image;
};

} // namespace KivUtilities
