#pragma once

#include <QByteArrayList>
#include <QStringList>

#include <chrono>

namespace KivDesktopBackground {

// The user's own fonts, which a picture's text may be set in. A decoding process reads what the font
// configuration's cache holds of them; a folder whose cache is out of date (the user added a font to it)
// it reads font by font, and so does every process after it, since none may write a cache. The program,
// which may, brings the cache of the user's font folders up to date before it starts a decoding process
// whenever they changed since it last did: a font the user adds costs the reading of that font once,
// and the decoding processes the reading of none.
namespace UserFonts {

// The user's font folders, as the decoding process's confinement lists them ("~/.local/share/fonts", the
// data folder's "fonts", "~/.fonts"), of the home the decoding processes have; absolute paths only.
QStringList folders();

// Brings the cache of the folders that exist up to date where they (or a folder below them) changed since
// it last did, at the first call where any exists: the system's "fc-cache" reads them, run with
// `environment` (the decoding processes' own, so that it keeps the cache they read), within `limit`.
// What it could not do is said once on standard error. From any thread, one at a time.
void keepCacheCurrent(const QByteArrayList &environment,
                      std::chrono::milliseconds limit = std::chrono::seconds(60));

} // namespace UserFonts

} // namespace KivDesktopBackground
