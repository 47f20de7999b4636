#include "Tapestrel/TapestrelReleases.h"

#include "Tapestrel/ui/TapestrelURL.h"

namespace TapestrelReleases {

namespace {

using KivWhatsNew::Change;
using KivWhatsNew::Release;

Release release(const QString &version, const QString &summary, QList<Change> changes)
{
    return Release(version, summary, releaseNotesURL(version), std::move(changes));
}

} // namespace

QList<Release> all()
{
    const QString community = toRawValue(TapestrelURL::community);
    return {
        release(
            QStringLiteral("1.0-beta.2"), QStringLiteral("New Option & Automation"),
            {Change(QStringLiteral("auto-hide-menu-bar"), QStringLiteral("Auto-Hiding Menu Bar"),
                    QStringLiteral("A profile can now hide the menu bar automatically, or keep it shown."),
                    std::nullopt, QStringLiteral("menubar.dock.rectangle")),
             Change(QStringLiteral("command-line"), QStringLiteral("Profiles from the Command Line"),
                    QStringLiteral("Apply, create and list profiles with the tapestrel command, "
                                   "from scripts or a terminal."),
                    std::nullopt, QStringLiteral("command.square")),
             Change(QStringLiteral("alfred-workflow"), QStringLiteral("Alfred Workflow"),
                    QStringLiteral("Switch profiles from Alfred with the Tapestrel workflow."),
                    toRawValue(TapestrelURL::alfredWorkflow), QStringLiteral("magnifyingglass.circle.fill")),
             Change(QStringLiteral("join-community"), QStringLiteral("Join the Community"),
                    QStringLiteral("Share your profiles and ideas with other Tapestrel users."), community,
                    QStringLiteral("bubble.left.fill"))}),
        release(
            QStringLiteral("1.0-beta.3"), QStringLiteral("New Apps & Improvements"),
            {Change(QStringLiteral("obsidian-vaults"), QStringLiteral("Obsidian Themes"),
                    QStringLiteral("Set the theme and accent colour of the Obsidian vault you choose."),
                    std::nullopt, QStringLiteral("app")),
             Change(QStringLiteral("vscode-profiles"), QStringLiteral("Visual Studio Code Profiles"),
                    QStringLiteral("Themes follow the Visual Studio Code profile you pick in the editor."),
                    std::nullopt, QStringLiteral("app")),
             Change(QStringLiteral("folder-colour"), QStringLiteral("Folder Colour"),
                    QStringLiteral("Profiles can now change the colour of folders."), std::nullopt,
                    QStringLiteral("folder.fill")),
             Change(QStringLiteral("faster-apply"), QStringLiteral("Faster Switching"),
                    QStringLiteral("Options that already match are skipped when a profile is applied."),
                    std::nullopt, QStringLiteral("play.fill"))}),
        release(
            QStringLiteral("1.0-beta.4"), QStringLiteral("Improvements"),
            {Change(QStringLiteral("read-current-settings"), QStringLiteral("Get Current Settings"),
                    QStringLiteral("Fill a profile with the settings your desktop uses right now."),
                    std::nullopt, QStringLiteral("arrow.clockwise")),
             Change(QStringLiteral("disable-globally"), QStringLiteral("Disable Options Everywhere"),
                    QStringLiteral("Leave an option out of every profile at once, and bring it back "
                                   "from Settings."),
                    std::nullopt, QStringLiteral("nosign")),
             Change(QStringLiteral("dock-restart"), QStringLiteral("Gentler Dock Restart"),
                    QStringLiteral("The Dock restarts once per profile, and only when an option needs it."),
                    std::nullopt, QStringLiteral("arrow.triangle.2.circlepath")),
             Change(QStringLiteral("copy-theme-list"), QStringLiteral("Copy Theme List"),
                    QStringLiteral("Copy the themes of a profile as plain text or Markdown."), std::nullopt,
                    QStringLiteral("list.bullet.clipboard"))}),
        release(
            QStringLiteral("1.0-beta.5"), QStringLiteral("Focus Filters, Scheduling & More"),
            {Change(QStringLiteral("daily-schedule"), QStringLiteral("Scheduled Profiles"),
                    QStringLiteral("Apply a profile at a time of day, every day."), std::nullopt,
                    QStringLiteral("clock")),
             Change(QStringLiteral("automatic-backups"), QStringLiteral("Automatic Backups"),
                    QStringLiteral("Profiles and backgrounds are backed up while you work; restore any "
                                   "backup from Settings."),
                    std::nullopt, QStringLiteral("externaldrive.badge.timemachine")),
             Change(QStringLiteral("launch-at-login"), QStringLiteral("Launch at Login"),
                    QStringLiteral("Start Tapestrel with your session, so your background is always there."),
                    std::nullopt, QStringLiteral("gearshape")),
             Change(QStringLiteral("community-profiles"), QStringLiteral("Profiles from the Community"),
                    QStringLiteral("Find profiles other users made and tell us what to build next."),
                    community, QStringLiteral("globe"))}),
        release(
            QStringLiteral("1.0"), QStringLiteral("New Background Section & Improvements"),
            {Change(QStringLiteral("background-library"), QStringLiteral("Background Library"),
                    QStringLiteral("Colours, gradients and pictures in one place, ready for any profile."),
                    std::nullopt, QStringLiteral("photo.on.rectangle")),
             Change(QStringLiteral("gradient-editor"), QStringLiteral("Gradient Backgrounds"),
                    QStringLiteral("Make your own gradients, or let Tapestrel pick random ones."),
                    std::nullopt, QStringLiteral("drop.fill"))}),
        release(QStringLiteral("1.1"), QStringLiteral("Photos Integration, Translations & Improvements"),
                {Change(QStringLiteral("picture-backgrounds"), QStringLiteral("Your Pictures as Backgrounds"),
                        QStringLiteral(
                            "Add pictures from your folders; Tapestrel keeps a copy with its backgrounds."),
                        std::nullopt, QStringLiteral("photo")),
                 Change(QStringLiteral("translations"), QStringLiteral("Ready for Translations"),
                        QStringLiteral("Every text of the program can now be translated."), std::nullopt,
                        QStringLiteral("globe"))}),
    };
}

} // namespace TapestrelReleases
