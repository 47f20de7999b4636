#include "Tapestrel/background/BackgroundPicker.h"

#include "Tapestrel/background/BackgroundPreview.h"
#include "Tapestrel/background/BackgroundSelection.h"
#include "Tapestrel/background/ColorBackgroundPicker.h"
#include "Tapestrel/background/GradientPicker.h"
#include "Tapestrel/background/ImageBackgroundPicker.h"
#include "platform/UserDefaults.h"

#include <QEvent>
#include <QFrame>
#include <QScrollArea>
#include <QScrollBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

// The sections scroll up and down only: the area is never narrower than its content at its
// narrowest (the grids in one column), so that nothing is ever hidden sideways.
class VerticalScrollArea : public QScrollArea
{
public:
    using QScrollArea::QScrollArea;

    QSize minimumSizeHint() const override
    {
        QSize size = QScrollArea::minimumSizeHint();
        if (const QWidget *content = widget()) {
            const int frame = 2 * frameWidth();
            size.setWidth(
                qMax(size.width(),
                     content->minimumSizeHint().width() + verticalScrollBar()->sizeHint().width() + frame));
        }
        return size;
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        // The content's narrowest width changes as grids fill and sections fold; the layouts above
        // ask again.
        if (watched == widget() && event->type() == QEvent::LayoutRequest)
            updateGeometry();
        return QScrollArea::eventFilter(watched, event);
    }
};

} // namespace

QString BackgroundPicker::expandedKey(Section section)
{
    switch (section) {
    case Section::image:
        return QStringLiteral("isImageBackgroundSectionExpanded");
    case Section::color:
        return QStringLiteral("isColorBackgroundSectionExpanded");
    case Section::gradient:
        return QStringLiteral("isGradientBackgroundSectionExpanded");
    }
    return QString();
}

bool BackgroundPicker::isExpanded(Section section)
{
    const QVariant stored = Platform::UserDefaults::standard().value(expandedKey(section));
    return !stored.isValid() || Platform::UserDefaults::boolFromValue(stored);
}

void BackgroundPicker::setExpanded(Section section, bool expanded)
{
    Platform::UserDefaults::standard().setValue(expandedKey(section), expanded);
}

BackgroundPicker::BackgroundPicker(Option *option, ModelContext *modelContext, QWidget *parent)
    : QWidget(parent)
    , m_selection(new BackgroundSelection(option, this))
    , m_preview(new BackgroundPreview(320))
    , m_scroll(new VerticalScrollArea)
{
    setObjectName(QStringLiteral("BackgroundPicker"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    // The preview stays at the top while the sections scroll beneath it.
    m_preview->setBackground(m_selection->get());
    layout->addWidget(m_preview);
    connect(m_selection, &BackgroundSelection::changed, this,
            [this] { m_preview->setBackground(m_selection->get()); });

    auto *form = new QWidget;
    form->setObjectName(QStringLiteral("BackgroundPickerForm"));
    auto *formLayout = new QVBoxLayout(form);
    formLayout->setSpacing(6);
    m_imagePicker = new ImageBackgroundPicker(m_selection, modelContext);
    m_colorPicker = new ColorBackgroundPicker(m_selection, modelContext);
    m_gradientPicker = new GradientPicker(m_selection, modelContext);
    addSection(Section::image, tr("Image"), m_imagePicker, form);
    addSection(Section::color, tr("Color"), m_colorPicker, form);
    addSection(Section::gradient, tr("Gradient"), m_gradientPicker, form);
    formLayout->addStretch();

    m_scroll->setWidgetResizable(true);
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scroll->setWidget(form);
    layout->addWidget(m_scroll, 1);

    syncSections();
    // Another editor, or another run of the program, folding a section folds it here too.
    connect(&Platform::UserDefaults::standard(), &Platform::UserDefaults::valueChanged, this,
            [this](const QString &key) {
                if (key == expandedKey(Section::image) || key == expandedKey(Section::color)
                    || key == expandedKey(Section::gradient))
                    syncSections();
            });
}

void BackgroundPicker::addSection(Section section, const QString &title, QWidget *content, QWidget *into)
{
    auto *box = new QFrame;
    box->setObjectName(expandedKey(section));
    box->setFrameShape(QFrame::StyledPanel);
    auto *boxLayout = new QVBoxLayout(box);
    auto *header = new QToolButton;
    header->setText(title);
    header->setCheckable(true);
    header->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    header->setAutoRaise(true);
    QFont font = header->font();
    font.setBold(true);
    header->setFont(font);
    boxLayout->addWidget(header);
    boxLayout->addWidget(content);
    into->layout()->addWidget(box);
    const int index = int(section);
    m_headers[index] = header;
    m_contents[index] = content;
    connect(header, &QToolButton::toggled, this, [section](bool open) {
        if (open != isExpanded(section))
            setExpanded(section, open);
    });
}

void BackgroundPicker::syncSections()
{
    for (Section section : {Section::image, Section::color, Section::gradient}) {
        const int index = int(section);
        const bool open = isExpanded(section);
        {
            const QSignalBlocker blocker(m_headers[index]);
            m_headers[index]->setChecked(open);
        }
        m_headers[index]->setArrowType(open ? Qt::DownArrow : Qt::RightArrow);
        m_contents[index]->setVisible(open);
    }
}

QToolButton *BackgroundPicker::sectionHeader(Section section) const
{
    return m_headers[int(section)];
}

QWidget *BackgroundPicker::sectionContent(Section section) const
{
    return m_contents[int(section)];
}
