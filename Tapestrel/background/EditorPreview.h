#pragma once

#include "KivDesktopBackground/SerializableLinearGradient.h"

#include <QWidget>

#include <functional>
#include <optional>

class QDialog;
class QPushButton;

// The preview box at the top of the colour and gradient sheets: a rounded rectangle filled with the
// colour or gradient being edited, "Preview" in bold white over it. As wide as it is given.
class EditorPreview : public QWidget
{
    Q_OBJECT

public:
    EditorPreview(int height, double cornerRadius, QWidget *parent = nullptr);

    void setColor(const QColor &color);
    // A gradient without stops fills nothing.
    void setGradient(const KivDesktopBackground::SerializableLinearGradient &gradient);
    QColor color() const { return m_color; }
    std::optional<KivDesktopBackground::SerializableLinearGradient> gradient() const { return m_gradient; }

    QSize sizeHint() const override { return QSize(320, m_height); }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    int m_height;
    double m_cornerRadius;
    QColor m_color;
    std::optional<KivDesktopBackground::SerializableLinearGradient> m_gradient;
};

// The frame of the colour and gradient sheets: the preview at the top, then the sections, then
// "Cancel" (Escape) and the confirm button (Return) at the trailing end. The confirm button runs
// `onConfirm` and closes the sheet; "Cancel" only closes it.
void layOutEditorSheet(QDialog *sheet, EditorPreview *preview, const QList<QWidget *> &sections,
                       QPushButton *cancel, QPushButton *confirm, std::function<void()> onConfirm);
