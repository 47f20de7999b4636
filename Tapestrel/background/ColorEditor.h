#pragma once

#include <QColor>
#include <QDialog>

#include <functional>

class ColorWell;
class EditorPreview;
class QPushButton;

// The sheet in which a colour background is picked: a preview of the colour, a "Color" row with its
// colour well, and "Cancel" (Escape) and "Add", or "Save" when editing (Return). Confirming hands the
// colour to `onAdd` and closes the sheet; cancelling hands over nothing.
class ColorEditor : public QDialog
{
    Q_OBJECT

public:
    ColorEditor(bool isEditing, const QColor &color, std::function<void(const QColor &)> onAdd,
                QWidget *parent = nullptr);

    QColor color() const { return m_color; }
    void setColor(const QColor &color);

    ColorWell *colorWell() const { return m_well; }
    EditorPreview *preview() const { return m_preview; }
    QPushButton *confirmButton() const { return m_confirm; }
    QPushButton *cancelButton() const { return m_cancel; }

private:
    QColor m_color;
    std::function<void(const QColor &)> m_onAdd;
    EditorPreview *m_preview;
    ColorWell *m_well;
    QPushButton *m_cancel;
    QPushButton *m_confirm;
};
