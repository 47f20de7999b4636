#include "Tapestrel/ui/TapestrelIntroduction.h"

#include "KivIntroduction/IntroductionController.h"
#include "KivIntroduction/IntroductionPages.h"
#include "KivIntroduction/ShouldDisplayIntroductionChecker.h"
#include "Tapestrel/ui/MainMenuCommands.h"
#include "Tapestrel/ui/switcher/SystemTray.h"

#include <QCoreApplication>
#include <QLinearGradient>
#include <QPainter>

static void initIntroductionResources()
{
    Q_INIT_RESOURCE(introduction);
}

namespace TapestrelIntroduction {

namespace {

QString text(const char *source)
{
    return QCoreApplication::translate("TapestrelIntroduction", source);
}

// Behind the pages: the window colour, and over it the background picture at half strength,
// fading in from nothing at the top to full at the bottom.
class IntroductionBackground : public QWidget
{
public:
    explicit IntroductionBackground(QWidget *parent)
        : QWidget(parent)
        , m_picture(QStringLiteral(":/introduction-background.jpg"))
    {
        setObjectName(QStringLiteral("IntroductionBackground"));
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), palette().color(QPalette::Window));
        if (m_picture.isNull() || width() <= 0 || height() <= 0)
            return;
        // In the screen's pixels, so that the picture is as sharp as the screen shows it.
        const qreal ratio = devicePixelRatio();
        QImage layer(size() * ratio, QImage::Format_ARGB32_Premultiplied);
        layer.setDevicePixelRatio(ratio);
        layer.fill(Qt::transparent);
        {
            QPainter picture(&layer);
            picture.drawImage(rect(), m_picture);
            picture.setCompositionMode(QPainter::CompositionMode_DestinationIn);
            QLinearGradient mask(0, 0, 0, height());
            mask.setColorAt(0, QColor(0, 0, 0, 0));
            mask.setColorAt(1, QColor(0, 0, 0, 255));
            picture.fillRect(rect(), mask);
        }
        painter.setOpacity(0.5);
        painter.drawImage(0, 0, layer);
    }

private:
    QImage m_picture;
};

std::shared_ptr<KivIntroduction::ShouldDisplayIntroductionChecker> makeChecker()
{
    return std::make_shared<KivIntroduction::DefaultShouldDisplayChecker>(
        QStringLiteral("didShowIntroduction"));
}

} // namespace

bool isDue()
{
    return makeChecker()->shouldDisplay();
}

std::unique_ptr<KivIntroduction::IntroductionController> makeController()
{
    return makeController(SystemTray::shared().isAvailable());
}

std::unique_ptr<KivIntroduction::IntroductionController> makeController(bool systemTrayAvailable)
{
    const QString switcherPlace = systemTrayAvailable
        ? text("To quickly switch between profiles, open the Profile Switcher in the system tray. Select "
               "a profile to apply it.")
        : text("To quickly switch between profiles, open the Profile Switcher with %1 or from the View "
               "menu of the main window. Select a profile to apply it.")
              .arg(MainMenuCommands::profileSwitcherShortcut.toString(QKeySequence::NativeText));
    initIntroductionResources();
    using namespace KivIntroduction;
    IntroductionConfiguration configuration;
    configuration.pages = {
        std::make_shared<StartIntroductionPage>(text("Hello!"),
                                                text("Welcome to Tapestrel. Let\u2019s get started.")),
        std::make_shared<LicenseIntroductionPage>(QStringLiteral("license.html")),
        std::make_shared<TextWithImageIntroductionPage>(
            QStringLiteral("intro-editor"), text("Profile Editor"),
            text(
                "This is the main app window, where you can create and customize your profiles. Each profile "
                "defines the look of your desktop and apps."),
            QPixmap(QStringLiteral(":/editor.png")), TextWithImageIntroductionPage::Orientation::horizontal,
            72),
        std::make_shared<TextWithImageIntroductionPage>(
            QStringLiteral("intro-picker"), text("Profile Switcher"), switcherPlace,
            QPixmap(QStringLiteral(":/picker.png")), TextWithImageIntroductionPage::Orientation::horizontal,
            72),
        std::make_shared<FinalIntroductionPage>(text("Tapestrel is ready to use"), QString()),
    };
    configuration.transitionDuration = 0.25;
    configuration.shouldDisplayIntroductionChecker = makeChecker();
    configuration.isClosable = false;
    IntroductionView::Style style {0, QMargins(), false, [](QWidget *parent) {
                                       return new IntroductionBackground(parent);
                                   }};
    return std::make_unique<IntroductionController>(configuration, style, QSize(1000, 600));
}

} // namespace TapestrelIntroduction
