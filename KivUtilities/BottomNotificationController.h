#pragma once

#include "KivUtilities/LocalizedStringKey.h"
#include "KivUtilities/Timeline.h"

#include <QIcon>
#include <QString>

#include <memory>

namespace KivUtilities {

class BottomNotificationWindowController;

// A short notice near the bottom centre of the main screen, outside every window: a symbol above one
// or two lines of text, faded in, held until one second after the start and faded out. It confirms
// actions taken where no window of the program may be visible (the menu-bar switcher).
class BottomNotificationController
{
public:
    static constexpr int holdMs = 1000;

    static BottomNotificationController &shared();

    // Shows a notice with the text (already translated by the caller; a profile name is passed as it
    // is) and an image, usually Symbols::icon(...). A notice still on screen closes at once.
    void show(const QString &text, const QIcon &image);
    // A fixed text, translated from the application's string table when shown.
    void show(const LocalizedStringKey &text, const QIcon &image) { show(text.resolved(), image); }

    // The notice shown last, also after its window has closed; null before the first notice.
    BottomNotificationWindowController *windowController() const { return m_windowController.get(); }

    // The clock of the notices shown from now on (an empty one is the steady clock). Each notice
    // times its fades and its hold on its own controller's timeline.
    void setClock(Timeline::Clock clock) { m_clock = std::move(clock); }

private:
    BottomNotificationController() = default;

    std::unique_ptr<BottomNotificationWindowController> m_windowController;
    Timeline::Clock m_clock;
};

} // namespace KivUtilities
