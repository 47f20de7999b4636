#pragma once

#include "KivDesktopBackground/Background.h"
#include "Tapestrel/model/OptionModel.h"

#include <QUrl>

// The option "system.desktop.background.picture": the desktop background of a profile, as
// background JSON ("" for none; older profiles hold an image's file URL). Applying shows it in the
// program's own desktop windows; reading gives what the program shows, or else the system's
// wallpaper.
class BackgroundOptionModel : public OptionModel
{
public:
    static QString optionKey() { return QStringLiteral("system.desktop.background.picture"); }
    static QStringList optionDisplayPath()
    {
        return {QStringLiteral("System"), QStringLiteral("Background")};
    }

    // The user default that keeps the "cannot read the wallpaper" alert from showing again.
    static QString alertSuppressionKey()
    {
        return QStringLiteral("cannotReadSystemWallpaperAlertSuppression");
    }
    // The script that asks the system for the current desktop picture.
    static QString systemWallpaperScript();

    // The first one made follows the applies that are announced (applyAnnounced()).
    BackgroundOptionModel();

    // A newer apply of `profile` is about to wait for its turn: when it shows a background, the picture
    // that an earlier apply still waits to decode is ended at once, and that apply answers that a later
    // apply took its place.
    static void applyAnnounced(Profile *profile);

    QString key() const override { return optionKey(); }
    QStringList displayPath() const override { return optionDisplayPath(); }

    // The background editor over the option, with the library of the profile's store.
    QWidget *makePicker(Option *option, Profile *profile, QWidget *parent) override;

    // Shows the profile's own background (the profile's option is read, not `value`); a profile
    // without one leaves the shown one as it is, and one whose background cannot be read, or whose
    // picture is gone, no regular file, unreadable, larger than the program draws or does not decode,
    // throws OptionModelError saying why, on every desktop, with nothing shown. Never asks for a Dock
    // restart. Where backgrounds go to the desktop's own wallpaper, throws OptionModelError when the
    // desktop did not take it (the program's windows draw it instead).
    QCoro::Task<void> apply(QString value, QPointer<Profile> profile,
                            std::shared_ptr<bool> needsDockRestart) override;

    // The JSON of the background the desktop's own wallpaper shows, where backgrounds go there; else
    // of the background the program shows; when it shows none, the system's wallpaper as an image
    // background; nothing when that cannot be read either.
    QCoro::Task<std::optional<QString>> readCurrentValue(QPointer<Profile> profile) override;

    // The file URL of the system's wallpaper. When the system cannot name it (a failed script, or a
    // dynamic picture), shows the alert below and gives nothing.
    static QCoro::Task<std::optional<QUrl>> readSystemWallpaper();
    // Explains that the wallpaper cannot be read, unless the user asked not to be told again.
    static void showCannotReadWallpaperAlert();

    // What the editor shows as selected for an option value: an image for any URI reference (whether
    // or not a file is there), the decoded background for JSON, a clear colour for anything else
    // (never nothing).
    static KivDesktopBackground::Background selection(const QString &value);
    // The option value that stores a selection: its JSON, or "" for none.
    static QString valueForSelection(const std::optional<KivDesktopBackground::Background> &selection);

    // Whether the text is a URI reference by the strict grammar: only the characters URIs allow,
    // every "%" followed by two hexadecimal digits, a valid scheme before the first ":" that comes
    // ahead of any "/", "?" or "#", brackets only around an address literal of the host, a port of
    // digits. Braces, quotation marks and spaces (as in background JSON) never pass.
    static bool isUriReference(const QString &text);

    // The value read as an absolute URL (with a scheme), as older versions stored images; nothing
    // for background JSON, "" and other texts.
    static std::optional<QUrl> urlFromValue(const QString &value);
};
