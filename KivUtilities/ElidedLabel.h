#pragma once

#include <QLabel>

namespace KivUtilities {

// A one-line label that shortens its text to the width it is given, by default in the middle (for
// paths, whose start and end say the most), and shows the whole text as its tooltip.
class ElidedLabel : public QLabel
{
    Q_OBJECT

public:
    explicit ElidedLabel(const QString &text, Qt::TextElideMode mode = Qt::ElideMiddle,
                         QWidget *parent = nullptr);

    QString fullText() const { return m_fullText; }
    void setFullText(const QString &text);

    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void elide();

    QString m_fullText;
    Qt::TextElideMode m_mode;
};

} // namespace KivUtilities
