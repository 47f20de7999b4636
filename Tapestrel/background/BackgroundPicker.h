#pragma once

#include <QWidget>

class BackgroundPreview;
#include "Tapestrel/background/BackgroundSelection.h"
class ColorBackgroundPicker;
class GradientPicker;
class ImageBackgroundPicker;
class ModelContext;
class Option;
class QScrollArea;
class QToolButton;

// The editor of a profile's desktop background: the chosen background's preview pinned at the top,
// then the sections "Image", "Color" and "Gradient", each of which can be folded away. The folding
// is a program-wide setting ("isImageBackgroundSectionExpanded" and the other two, open by
// default), the same in every open editor. Choosing a background writes it into the option; the
// desktop changes only when the option is applied.
class BackgroundPicker : public QWidget
{
    Q_OBJECT

public:
    enum class Section { image, color, gradient };
    static QString expandedKey(Section section);
    static bool isExpanded(Section section);
    static void setExpanded(Section section, bool expanded);

    BackgroundPicker(Option *option, ModelContext *modelContext, QWidget *parent = nullptr);

    BackgroundSelection *selection() const { return m_selection; }
    BackgroundPreview *preview() const { return m_preview; }
    ImageBackgroundPicker *imagePicker() const { return m_imagePicker; }
    ColorBackgroundPicker *colorPicker() const { return m_colorPicker; }
    GradientPicker *gradientPicker() const { return m_gradientPicker; }
    QToolButton *sectionHeader(Section section) const;
    QWidget *sectionContent(Section section) const;
    QScrollArea *scrollArea() const { return m_scroll; }

private:
    void addSection(Section section, const QString &title, QWidget *content, QWidget *into);
    void syncSections();

    BackgroundSelection *m_selection;
    BackgroundPreview *m_preview;
    QScrollArea *m_scroll;
    ImageBackgroundPicker *m_imagePicker = nullptr;
    ColorBackgroundPicker *m_colorPicker = nullptr;
    GradientPicker *m_gradientPicker = nullptr;
    QToolButton *m_headers[3] = {};
    QWidget *m_contents[3] = {};
};
