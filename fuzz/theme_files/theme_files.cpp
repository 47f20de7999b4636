// Theme files of other applications: a NotePlan theme file (JSON with a text "name"), Alfred's
// pointer file and theme files, ForkLift's list of user themes, and an iTerm2 colour preset (a property-list
// dictionary of entries). A preset copied into an empty terminal profile must then match it, in either
// appearance, and copying it again must change nothing.

#include "Tapestrel/apps/alfred/AlfredFiles.h"
#include "Tapestrel/apps/forklift/ForkLiftCustomTheme.h"
#include "Tapestrel/apps/frame/AppFiles.h"
#include "Tapestrel/apps/iterm/ITermColorEntries.h"
#include "Tapestrel/apps/noteplan/NotePlanThemeFile.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    (void)NotePlanThemeFile::decode(bytes);
    (void)AlfredPrefs::decode(bytes);
    (void)alfredThemeName(bytes);
    (void)ForkLiftCustomTheme::decode(bytes);

    const auto preset = AppFiles::parsePropertyListDictionary(bytes);
    if (!preset)
        return 0;
    for (bool dark : {false, true}) {
        QVariantMap profile;
        ITermColorEntries::copy(*preset, profile, dark);
        if (!ITermColorEntries::matches(*preset, profile, dark)
            || ITermColorEntries::copy(*preset, profile, dark)) {
            std::fprintf(stderr, "a copied preset does not match the profile it was copied into\n");
            std::abort();
        }
    }
    return 0;
}
