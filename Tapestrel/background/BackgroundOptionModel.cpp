#include "Tapestrel/background/BackgroundOptionModel.h"

#include "KivDesktopBackground/BackgroundView.h"
#include "KivDesktopBackground/DesktopBackgroundController.h"
#include "Tapestrel/background/ProfileBackground.h"
#include "Tapestrel/background/SharedDesktopBackground.h"
#include "Tapestrel/model/Option.h"
#include "Tapestrel/model/Profile.h"
#include "Tapestrel/system/AppleScriptRunner.h"
#include "platform/Alerts.h"
#include "platform/UserDefaults.h"

#include <QCoreApplication>

using KivDesktopBackground::Background;

QString BackgroundOptionModel::systemWallpaperScript()
{
    return QStringLiteral(
        "tell application \"System Events\"\n    tell first desktop to get picture\nend tell");
}

std::optional<QUrl> BackgroundOptionModel::urlFromValue(const QString &value)
{
    // Strict parsing rejects the braces and quotes of JSON; requiring a scheme also keeps plain
    // words from passing as relative URLs.
    const QUrl url(value, QUrl::StrictMode);
    if (value.isEmpty() || !url.isValid() || url.scheme().isEmpty())
        return std::nullopt;
    return url;
}

Background BackgroundOptionModel::selection(const QString &value)
{
    if (const std::optional<QUrl> url = urlFromValue(value))
        return Background::image(*url);
    return Background::fromRawValue(value).value_or(Background::clear());
}

QString BackgroundOptionModel::valueForSelection(const std::optional<Background> &selection)
{
    return selection ? selection->rawValue() : QString();
}

namespace {

// Shows the selection of one option and follows changes of its value.
class BackgroundSelectionView : public KivDesktopBackground::BackgroundView
{
public:
    BackgroundSelectionView(Option *option, QWidget *parent)
        : BackgroundView(BackgroundOptionModel::selection(option ? option->value() : QString()), parent)
    {
        setObjectName(QStringLiteral("BackgroundPicker"));
        setMinimumSize(160, 90);
        if (option) {
            QPointer<Option> watched(option);
            QObject::connect(option, &Option::valueChanged, this, [this, watched] {
                if (watched)
                    setBackground(BackgroundOptionModel::selection(watched->value()));
            });
        }
    }
};

} // namespace

QWidget *BackgroundOptionModel::makePicker(Option *option, Profile *, QWidget *parent)
{
    return new BackgroundSelectionView(option, parent);
}

QCoro::Task<void> BackgroundOptionModel::apply(QString, QPointer<Profile> profile, std::shared_ptr<bool>)
{
    if (!profile)
        co_return;
    const std::optional<Background> background = profileBackground(*profile);
    if (!background)
        co_return;
    sharedDesktopBackgroundController().setBackground(background);
}

QCoro::Task<std::optional<QString>> BackgroundOptionModel::readCurrentValue(QPointer<Profile>)
{
    // What the program shows wins over the system's wallpaper beneath it.
    if (const auto &shown = sharedDesktopBackgroundController().background())
        co_return shown->rawValue();
    const std::optional<QUrl> wallpaper = co_await readSystemWallpaper();
    if (!wallpaper)
        co_return std::nullopt;
    co_return Background::image(wallpaper->adjusted(QUrl::NormalizePathSegments)).rawValue();
}

QCoro::Task<std::optional<QUrl>> BackgroundOptionModel::readSystemWallpaper()
{
    AppleScriptRunner runner(systemWallpaperScript());
    const std::optional<Platform::ScriptValue> value = co_await runner.runAndGetValue();
    if (value && value->kind() == Platform::ScriptValue::Kind::Text) {
        const QString path = value->stringValue().value_or(QString());
        // An empty path names no file; it is as unreadable as no answer.
        if (!path.isEmpty())
            co_return QUrl::fromLocalFile(path);
    }
    showCannotReadWallpaperAlert();
    co_return std::nullopt;
}

void BackgroundOptionModel::showCannotReadWallpaperAlert()
{
    Platform::UserDefaults &defaults = Platform::UserDefaults::standard();
    if (defaults.boolean(alertSuppressionKey()))
        return;
    Platform::Alert alert;
    alert.message = QCoreApplication::translate("BackgroundOptionModel", "Cannot read the current wallpaper",
                                                "Alert title when system wallpaper path cannot be obtained");
    alert.informativeText = QCoreApplication::translate(
        "BackgroundOptionModel",
        "Some system wallpapers (for example, dynamic ones) can’t be read. You can still choose a different "
        "image or color in Tapestrel.",
        "Alert explanation when system wallpaper cannot be read");
    alert.buttons = {QCoreApplication::translate("BackgroundOptionModel", "OK", "Alert confirmation button")};
    alert.suppressionTitle = QCoreApplication::translate(
        "BackgroundOptionModel", "Do not show this message again", "Alert suppression checkbox");
    alert.cancelButton = 0;
    const Platform::AlertResult result = Platform::Alerts::run(alert);
    if (result.suppressed)
        defaults.setValue(alertSuppressionKey(), true);
}
