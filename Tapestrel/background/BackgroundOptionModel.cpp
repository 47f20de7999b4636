#include "Tapestrel/background/BackgroundOptionModel.h"

#include "KivDesktopBackground/DesktopBackgroundController.h"
#include "KivDesktopBackground/DesktopWallpaper.h"
#include "KivDesktopBackground/PictureNames.h"
#include "Tapestrel/background/BackgroundPicker.h"
#include "Tapestrel/background/ProfileBackground.h"
#include "Tapestrel/background/SharedDesktopBackground.h"
#include "Tapestrel/model/EngineSettings.h"
#include "Tapestrel/model/Option.h"
#include "Tapestrel/model/Profile.h"
#include "Tapestrel/model/ProfileOperationQueue.h"
#include "Tapestrel/system/AppleScriptRunner.h"
#include "platform/Alerts.h"
#include "platform/UserDefaults.h"

#include <QCoreApplication>

#include <mutex>

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

namespace {

bool isUnreserved(char16_t c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'-'
        || c == u'.' || c == u'_' || c == u'~';
}

bool isSubDelimiter(char16_t c)
{
    return QStringView(u"!$&'()*+,;=").contains(QChar(c));
}

bool isHexDigit(char16_t c)
{
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

// Every character is unreserved, a sub-delimiter, one of `extra`, or a valid percent escape.
bool consistsOf(QStringView text, QStringView extra)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c == u'%') {
            if (i + 2 >= text.size() || !isHexDigit(text[i + 1].unicode())
                || !isHexDigit(text[i + 2].unicode()))
                return false;
            i += 2;
        } else if (!isUnreserved(c) && !isSubDelimiter(c) && !extra.contains(QChar(c))) {
            return false;
        }
    }
    return true;
}

bool isAuthority(QStringView authority)
{
    const qsizetype at = authority.lastIndexOf(u'@');
    if (at >= 0 && !consistsOf(authority.left(at), u":"))
        return false;
    QStringView hostPort = authority.mid(at + 1);
    QStringView port;
    if (hostPort.startsWith(u'[')) {
        const qsizetype close = hostPort.indexOf(u']');
        if (close < 0)
            return false;
        // An address literal: hexadecimal digits, ":" and "." (IPv6), or a future form.
        if (!consistsOf(hostPort.mid(1, close - 1), u":"))
            return false;
        const QStringView rest = hostPort.mid(close + 1);
        if (!rest.isEmpty() && !rest.startsWith(u':'))
            return false;
        port = rest.mid(1);
    } else {
        const qsizetype colon = hostPort.lastIndexOf(u':');
        const QStringView host = colon >= 0 ? hostPort.left(colon) : hostPort;
        if (!consistsOf(host, u""))
            return false;
        port = colon >= 0 ? hostPort.mid(colon + 1) : QStringView();
    }
    for (QChar c : port) {
        if (!c.isDigit() || c.unicode() > 127)
            return false;
    }
    return true;
}

} // namespace

bool BackgroundOptionModel::isUriReference(const QString &text)
{
    QStringView rest(text);
    // Fragment and query: path characters plus "/" and "?".
    if (const qsizetype hash = rest.indexOf(u'#'); hash >= 0) {
        if (!consistsOf(rest.mid(hash + 1), u":@/?"))
            return false;
        rest = rest.left(hash);
    }
    if (const qsizetype question = rest.indexOf(u'?'); question >= 0) {
        if (!consistsOf(rest.mid(question + 1), u":@/?"))
            return false;
        rest = rest.left(question);
    }
    // A ":" ahead of any "/" ends a scheme; a relative reference cannot have one in its first
    // segment.
    const qsizetype colon = rest.indexOf(u':');
    const qsizetype slash = rest.indexOf(u'/');
    if (colon >= 0 && (slash < 0 || colon < slash)) {
        const QStringView scheme = rest.left(colon);
        if (scheme.isEmpty() || !scheme[0].isLetter() || scheme[0].unicode() > 127)
            return false;
        for (QChar c : scheme) {
            const char16_t u = c.unicode();
            if (!(isUnreserved(u) && u != u'_' && u != u'~') && u != u'+')
                return false;
        }
        rest = rest.mid(colon + 1);
    }
    if (rest.startsWith(u"//")) {
        rest = rest.mid(2);
        const qsizetype end = rest.indexOf(u'/');
        if (!isAuthority(end >= 0 ? rest.left(end) : rest))
            return false;
        rest = end >= 0 ? rest.mid(end) : QStringView();
    }
    return consistsOf(rest, u":@/");
}

Background BackgroundOptionModel::selection(const QString &value)
{
    if (!value.isEmpty() && isUriReference(value))
        return Background::image(QUrl(value, QUrl::StrictMode));
    return Background::fromRawValue(value).value_or(Background::clear());
}

QString BackgroundOptionModel::valueForSelection(const std::optional<Background> &selection)
{
    return selection ? selection->rawValue() : QString();
}

BackgroundOptionModel::BackgroundOptionModel()
{
    static std::once_flag following;
    std::call_once(following, [] {
        QObject::connect(&ProfileOperationQueue::shared(), &ProfileOperationQueue::applyAnnounced,
                         &ProfileOperationQueue::shared(), &BackgroundOptionModel::applyAnnounced);
    });
}

void BackgroundOptionModel::applyAnnounced(Profile *profile)
{
    // Only a newer apply that shows a background of its own replaces the picture being decoded; any
    // other leaves the earlier apply's background to be shown.
    if (!profile || profile->isDeleted())
        return;
    const Option *option = profile->option(optionKey());
    if (!option || !option->isEnabled() || option->value().isEmpty() || !profileBackground(*profile)
        || EngineSettings::disabledOptionIDs().contains(optionKey()))
        return;
    sharedDesktopBackgroundController().endPendingPicture();
}

QWidget *BackgroundOptionModel::makePicker(Option *option, Profile *profile, QWidget *parent)
{
    // The library lives in the store the profile came from; a profile outside any store gets the
    // built-in backgrounds only.
    ModelContext *context = profile ? profile->modelContext() : nullptr;
    return new BackgroundPicker(option, context, parent);
}

QCoro::Task<void> BackgroundOptionModel::apply(QString, QPointer<Profile> profile, std::shared_ptr<bool>)
{
    if (!profile)
        co_return;
    const std::optional<Background> background = profileBackground(*profile);
    const QString optionKey = key();
    if (!background) {
        // A stored background that cannot be shown is this option's failure, not a profile without one.
        const QString stored = profile->value(optionKey);
        if (stored.isEmpty())
            co_return;
        const std::optional<QUrl> url = urlFromValue(stored);
        if (url && url->isLocalFile())
            throw OptionModelError(optionKey,
                                   KivDesktopBackground::PictureNames::notFoundMessage(url->toLocalFile()));
        throw OptionModelError(
            optionKey,
            QCoreApplication::translate("BackgroundOptionModel", "The stored background cannot be read."));
    }
    // A picture that cannot be decoded fails on every desktop alike, with nothing shown; so does a
    // background the desktop would not take.
    const KivDesktopBackground::DesktopBackgroundController::Outcome outcome =
        co_await sharedDesktopBackgroundController().setBackground(background);
    if (outcome.superseded)
        throw OptionSupersededError(optionKey);
    if (outcome.refusal)
        throw OptionModelError(optionKey, *outcome.refusal);
}

QCoro::Task<std::optional<QString>> BackgroundOptionModel::readCurrentValue(QPointer<Profile>)
{
    const KivDesktopBackground::DesktopBackgroundController &controller = sharedDesktopBackgroundController();
    // Where the desktop shows the backgrounds itself, its wallpaper is what the person sees, also when
    // they changed it in the desktop's own settings.
    if (controller.wallpaper() && controller.isShownByDesktop()) {
        if (const std::optional<Background> shown = controller.wallpaper()->current())
            co_return shown->rawValue();
    }
    // What the program shows wins over the system's wallpaper beneath it.
    if (const auto &shown = controller.background())
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
    // A script or the schedule may read the settings while nobody is there: the background then
    // reads as none, without the alert.
    if (!ProfileOperationQueue::shared().isUnattended())
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
