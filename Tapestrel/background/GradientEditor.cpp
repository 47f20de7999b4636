#include "Tapestrel/background/GradientEditor.h"

#include "KivUtilities/Symbols.h"
#include "Tapestrel/background/ColorWell.h"
#include "Tapestrel/background/EditorPreview.h"
#include "Tapestrel/background/GradientGenerator.h"
#include "Tapestrel/background/NumberLabel.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QToolButton>
#include <QVBoxLayout>

#include <cmath>

using KivDesktopBackground::SerializableLinearGradient;

namespace {

// Clamped, then rounded half away from zero to a multiple of `step`.
double clampAndRound(double value, double high, double step)
{
    if (std::isnan(value))
        value = 0;
    return std::round(std::clamp(value, 0.0, high) / step) * step;
}

} // namespace

ColorRow::ColorRow(std::function<std::optional<Stop>()> read, std::function<void(const Stop &)> write,
                   double defaultLocation, bool canRemove, std::function<void()> onRemove, QWidget *parent)
    : QWidget(parent)
    , m_read(std::move(read))
    , m_write(std::move(write))
    , m_defaultLocation(defaultLocation)
    , m_well(new ColorWell(QColor(Qt::white)))
    , m_slider(new QSlider(Qt::Horizontal))
    , m_label(new NumberLabel(NumberLabel::Format::percent))
    , m_remove(new QToolButton)
{
    setObjectName(QStringLiteral("ColorRow"));
    m_slider->setRange(0, 100);
    KivUtilities::Symbols::apply(m_remove, QStringLiteral("trash"));
    m_remove->setToolTip(tr("Remove color"));
    m_remove->setEnabled(canRemove);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(12);
    layout->addWidget(m_well);
    auto *locationRow = new QHBoxLayout;
    locationRow->addWidget(m_slider, 1);
    locationRow->addWidget(m_label);
    layout->addLayout(locationRow, 1);
    layout->addWidget(m_remove);
    connect(m_well, &ColorWell::colorPicked, this, &ColorRow::setColor);
    connect(m_slider, &QSlider::valueChanged, this, [this](int percent) { setLocation(percent / 100.0); });
    connect(m_remove, &QToolButton::clicked, this, [onRemove = std::move(onRemove)] {
        if (onRemove)
            onRemove();
    });
    refresh();
}

double ColorRow::displayedLocation() const
{
    const std::optional<Stop> stop = m_read();
    const double location = stop && stop->location ? *stop->location : m_defaultLocation;
    return clampAndRound(location, 1, 0.01);
}

void ColorRow::setLocation(double location)
{
    std::optional<Stop> stop = m_read();
    if (!stop)
        return;
    stop->location = clampAndRound(location, 1, 0.01);
    m_write(*stop);
    refresh();
}

void ColorRow::setColor(const QColor &color)
{
    std::optional<Stop> stop = m_read();
    if (!stop)
        return;
    stop->color = color;
    m_write(*stop);
    refresh();
}

void ColorRow::refresh()
{
    const std::optional<Stop> stop = m_read();
    if (!stop)
        return;
    const double location = displayedLocation();
    const QSignalBlocker blocker(m_slider);
    m_well->setColor(stop->color);
    m_slider->setValue(int(std::lround(location * 100)));
    m_label->setNumber(location);
}

GradientEditor::GradientEditor(const std::optional<Gradient> &initial,
                               std::function<void(const Gradient &)> onAdd, QWidget *parent)
    : QDialog(parent)
    , m_onAdd(std::move(onAdd))
    , m_preview(new EditorPreview(120, 10))
    , m_angleSlider(new QSlider(Qt::Horizontal))
    , m_angleLabel(new NumberLabel(NumberLabel::Format::degrees))
    , m_rowsLayout(new QVBoxLayout)
    , m_addColor(new QPushButton)
    , m_cancel(new QPushButton(tr("Cancel")))
    , m_confirm(new QPushButton(initial ? tr("Save") : tr("Add")))
{
    setObjectName(QStringLiteral("GradientEditor"));
    setWindowTitle(tr("Gradient"));
    const Gradient start = initial ? *initial : GradientGenerator().randomGradient(2);
    m_angle = start.angle;
    m_stops = start.stops;

    auto *angleBox = new QGroupBox;
    auto *angleForm = new QFormLayout(angleBox);
    auto *angleRow = new QHBoxLayout;
    m_angleSlider->setRange(0, 360);
    angleRow->addWidget(m_angleSlider, 1);
    angleRow->addWidget(m_angleLabel);
    angleForm->addRow(tr("Angle"), angleRow);

    auto *colorsBox = new QGroupBox(tr("Colors"));
    colorsBox->setObjectName(QStringLiteral("colors"));
    auto *colorsLayout = new QVBoxLayout(colorsBox);
    colorsLayout->addLayout(m_rowsLayout);
    auto *footer = new QHBoxLayout;
    footer->addStretch();
    KivUtilities::Symbols::apply(m_addColor, QStringLiteral("plus"));
    m_addColor->setAccessibleName(tr("Add Color"));
    m_addColor->setToolTip(tr("Add Color"));
    m_addColor->setAutoDefault(false);
    footer->addWidget(m_addColor);
    colorsLayout->addLayout(footer);
    layOutEditorSheet(this, m_preview, {angleBox, colorsBox}, m_cancel, m_confirm, [this] {
        if (m_onAdd)
            m_onAdd(gradient());
    });
    connect(m_angleSlider, &QSlider::valueChanged, this, [this](int degrees) { setAngle(degrees); });
    connect(m_addColor, &QPushButton::clicked, this, &GradientEditor::addColor);
    rebuildRows();
    resize(420, 480);
}

double GradientEditor::displayedAngle(double angle)
{
    return clampAndRound(angle, 360, 1);
}

void GradientEditor::setAngle(double angle)
{
    m_angle = displayedAngle(angle);
    refresh();
}

void GradientEditor::addColor()
{
    m_stops.append({QColor(Qt::white), 0.5});
    rebuildRows();
}

void GradientEditor::removeStop(int index)
{
    if (index < 0 || index >= m_stops.size())
        return;
    m_stops.removeAt(index);
    // The old rows are deleted later, so the one whose click asked for this outlives its signal.
    rebuildRows();
}

void GradientEditor::rebuildRows()
{
    for (ColorRow *row : std::as_const(m_rows)) {
        m_rowsLayout->removeWidget(row);
        row->hide();
        row->deleteLater();
    }
    m_rows.clear();
    const qsizetype count = m_stops.size();
    for (qsizetype i = 0; i < count; ++i) {
        const double defaultLocation = count >= 2 ? double(i) / double(count - 1) : 0.0;
        auto *row = new ColorRow(
            [this, i]() -> std::optional<Gradient::Stop> {
                if (i >= m_stops.size())
                    return std::nullopt;
                return m_stops[i];
            },
            [this, i](const Gradient::Stop &stop) {
                if (i < m_stops.size()) {
                    m_stops[i] = stop;
                    refresh();
                }
            },
            defaultLocation, count > 1, [this, i] { removeStop(int(i)); });
        m_rowsLayout->addWidget(row);
        m_rows.append(row);
    }
    refresh();
}

void GradientEditor::refresh()
{
    const double shown = displayedAngle(m_angle);
    {
        const QSignalBlocker blocker(m_angleSlider);
        m_angleSlider->setValue(int(shown));
    }
    m_angleLabel->setNumber(shown);
    m_preview->setGradient(gradient());
}
