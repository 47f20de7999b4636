#include "KivUtilities/Symbols.h"

#include "testsupport/Palettes.h"

#include <QIcon>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QSet>

#include <gtest/gtest.h>

using KivUtilities::Symbols;

namespace {

// The colours of a picture's solid pixels.
QSet<QRgb> solidColours(const QImage &picture)
{
    const QImage image = picture.convertToFormat(QImage::Format_ARGB32);
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(image.pixel(x, y)) == 255)
                colours.insert(image.pixel(x, y));
        }
    }
    return colours;
}

// A widget that paints a symbol itself, as the background tiles do.
class SymbolPainter : public QWidget
{
public:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        Symbols::icon("circle.fill").paint(&painter, rect());
    }
};

} // namespace

TEST(Symbols, EveryNameOfTheTableHasAnIconThatDraws)
{
    const QStringList names = Symbols::names();
    ASSERT_GE(names.size(), 50);
    for (const QString &name : names) {
        const QIcon icon = Symbols::icon(name);
        EXPECT_FALSE(icon.isNull()) << name.toStdString() << " -> " << Symbols::source(name).toStdString();
        EXPECT_FALSE(icon.pixmap(32, 32).isNull()) << name.toStdString();
        EXPECT_EQ(Symbols::nameOf(icon), name);
    }
    EXPECT_EQ(QIcon::fallbackThemeName(), "breeze");
    // The names the notices and toasts use map where expected.
    EXPECT_TRUE(Symbols::source("menubar.dock.rectangle").startsWith(':'));
    EXPECT_EQ(Symbols::source("document.on.document"), "edit-copy");
    EXPECT_EQ(Symbols::source("trash"), "edit-delete");
}

TEST(Symbols, UnknownNamesDrawNothingAndWidgetsKeepTheName)
{
    EXPECT_TRUE(Symbols::icon("no.such.symbol").isNull());
    EXPECT_TRUE(Symbols::nameOf(QIcon()).isEmpty());

    QLabel label;
    Symbols::apply(&label, "info.circle", 24);
    EXPECT_EQ(label.property("symbol").toString(), "info.circle");
    EXPECT_FALSE(label.pixmap().isNull());
    Symbols::apply(&label, QString());
    EXPECT_TRUE(label.pixmap().isNull());
    EXPECT_EQ(label.property("symbol").toString(), "");

    QPushButton button;
    Symbols::apply(&button, "trash");
    EXPECT_EQ(button.property("symbol").toString(), "trash");
    EXPECT_EQ(Symbols::nameOf(button.icon()), "trash");
}

TEST(Symbols, GreyInkSymbolsTakeTheTextColourAndColouredOnesKeepTheirColours)
{
    struct Row
    {
        const char *name;
        bool inText; // otherwise drawn as the icon set draws it
    };
    const Row rows[] = {{"plus", true},
                        {"ellipsis.circle", true},
                        {"clock", true},
                        {"circle.fill", true},
                        {"trash", false}, // red: it deletes
                        {"photo.on.rectangle", false}}; // a picture in several colours
    // Also a text colour that is not grey: the symbol takes it as it is.
    for (const QColor text : {QColor("#fcfcfc"), QColor("#3daee9")}) {
        QPalette palette = TestSupport::schemePalette(true);
        palette.setColor(QPalette::Active, QPalette::WindowText, text);
        const TestSupport::ScopedPalette scoped(palette);
        for (const Row &row : rows) {
            SCOPED_TRACE(row.name);
            for (const qreal ratio : {1.0, 2.0}) {
                const QPixmap drawn = Symbols::icon(row.name).pixmap(QSize(22, 22), ratio);
                EXPECT_EQ(drawn.size(), QSize(22, 22) * ratio);
                const QString source = Symbols::source(row.name);
                const QIcon asSet = source.startsWith(':') ? QIcon(source) : QIcon::fromTheme(source);
                if (row.inText)
                    EXPECT_EQ(solidColours(drawn.toImage()), QSet<QRgb>({text.rgb()}));
                else
                    EXPECT_EQ(drawn.toImage(), asSet.pixmap(QSize(22, 22), ratio).toImage());
            }
        }
        // Disabled and selected items draw them in their own text colours.
        EXPECT_EQ(solidColours(Symbols::icon("plus").pixmap(QSize(22, 22), QIcon::Disabled).toImage()),
                  QSet<QRgb>({palette.color(QPalette::Disabled, QPalette::WindowText).rgb()}));
        EXPECT_EQ(solidColours(Symbols::icon("plus").pixmap(QSize(22, 22), QIcon::Selected).toImage()),
                  QSet<QRgb>({palette.color(QPalette::HighlightedText).rgb()}));
    }
}

TEST(Symbols, LabelsAndWidgetsDrawSymbolsInTheirOwnTextColourAsItChanges)
{
    QLabel label;
    Symbols::apply(&label, "clock", 16);
    SymbolPainter painter;
    painter.resize(16, 16);
    for (const QColor text : {QColor("#fcfcfc"), QColor("#232629")}) {
        for (QWidget *widget : std::initializer_list<QWidget *> {&label, &painter}) {
            QPalette palette = widget->palette();
            palette.setColor(QPalette::WindowText, text);
            widget->setPalette(palette);
        }
        EXPECT_EQ(solidColours(label.pixmap().toImage()), QSet<QRgb>({text.rgb()}));
        EXPECT_EQ(label.pixmap().deviceIndependentSize(), QSizeF(16, 16));
        QImage painted(16, 16, QImage::Format_ARGB32_Premultiplied);
        painted.fill(Qt::transparent);
        painter.render(&painted, QPoint(), QRegion(), QWidget::RenderFlags());
        EXPECT_EQ(solidColours(painted), QSet<QRgb>({text.rgb()}));
    }
}
