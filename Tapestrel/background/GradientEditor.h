#pragma once

#include "KivDesktopBackground/SerializableLinearGradient.h"

#include <QDialog>

#include <functional>
#include <optional>

class ColorWell;
class EditorPreview;
class NumberLabel;
class QPushButton;
class QSlider;
class QToolButton;
class QVBoxLayout;

// One colour stop of the gradient sheet: its colour well, a location slider in whole percent with
// its label, and a remove button ("Remove color"), disabled for the last stop. A stop without a
// location shows `defaultLocation` until its slider is moved.
class ColorRow : public QWidget
{
    Q_OBJECT

public:
    using Stop = KivDesktopBackground::SerializableLinearGradient::Stop;

    // `read` and `write` reach the stop in the sheet's list; a row whose stop has left the list reads
    // nothing and writes nothing.
    ColorRow(std::function<std::optional<Stop>()> read, std::function<void(const Stop &)> write,
             double defaultLocation, bool canRemove, std::function<void()> onRemove,
             QWidget *parent = nullptr);

    // The location shown: the stop's own or the default, clamped to 0...1, in whole hundredths.
    double displayedLocation() const;
    // What the slider writes: the value clamped and rounded to whole hundredths, as the stop's location.
    void setLocation(double location);
    void setColor(const QColor &color);

    ColorWell *colorWell() const { return m_well; }
    QSlider *slider() const { return m_slider; }
    NumberLabel *label() const { return m_label; }
    QToolButton *removeButton() const { return m_remove; }

    void refresh();

private:
    std::function<std::optional<Stop>()> m_read;
    std::function<void(const Stop &)> m_write;
    double m_defaultLocation;
    ColorWell *m_well;
    QSlider *m_slider;
    NumberLabel *m_label;
    QToolButton *m_remove;
};

// The sheet in which a gradient is composed: a live preview, the angle (0 to 360, whole degrees once
// moved), a row per colour stop and "Add Color", then "Cancel" (Escape) and "Add", or "Save" when a
// gradient is edited (Return). Confirming hands the angle and stops as they stand (list order,
// absent locations kept) to `onAdd`. A new gradient starts from a random one of two stops.
class GradientEditor : public QDialog
{
    Q_OBJECT

public:
    using Gradient = KivDesktopBackground::SerializableLinearGradient;

    GradientEditor(const std::optional<Gradient> &initial, std::function<void(const Gradient &)> onAdd,
                   QWidget *parent = nullptr);

    double angle() const { return m_angle; }
    const QList<Gradient::Stop> &stops() const { return m_stops; }
    Gradient gradient() const { return Gradient(m_angle, m_stops); }

    // The angle shown: clamped to 0...360 and rounded to whole degrees.
    static double displayedAngle(double angle);
    // What the slider writes.
    void setAngle(double angle);
    void addColor();
    void removeStop(int index);

    QSlider *angleSlider() const { return m_angleSlider; }
    NumberLabel *angleLabel() const { return m_angleLabel; }
    QList<ColorRow *> rows() const { return m_rows; }
    QPushButton *addColorButton() const { return m_addColor; }
    EditorPreview *preview() const { return m_preview; }
    QPushButton *confirmButton() const { return m_confirm; }
    QPushButton *cancelButton() const { return m_cancel; }

private:
    void rebuildRows();
    void refresh();

    double m_angle;
    QList<Gradient::Stop> m_stops;
    std::function<void(const Gradient &)> m_onAdd;
    EditorPreview *m_preview;
    QSlider *m_angleSlider;
    NumberLabel *m_angleLabel;
    QVBoxLayout *m_rowsLayout;
    QList<ColorRow *> m_rows;
    QPushButton *m_addColor;
    QPushButton *m_cancel;
    QPushButton *m_confirm;
};
