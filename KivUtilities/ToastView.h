#pragma once

#include "KivUtilities/LocalizedStringKey.h"

#include <QWidget>

#include <optional>

class QLabel;

namespace KivUtilities {

// One toast: an optional symbol and the message in a row on a translucent capsule.
class ToastView : public QWidget
{
    Q_OBJECT
public:
    static constexpr int horizontalPadding = 16;
    static constexpr int verticalPadding = 12;

    explicit ToastView(QWidget *parent = nullptr);

    void setContent(const LocalizedStringKey &message, const std::optional<QString> &symbol);
    QString text() const;
    // The symbol shown; empty when the toast shows text only.
    QString symbol() const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QLabel *m_image;
    QLabel *m_text;
};

} // namespace KivUtilities
