#include "Tapestrel/apps/vscode/VSCodeProfileExtensionFinder.h"

#include "Tapestrel/apps/vscode/VSCodeLocations.h"
#include "Tapestrel/apps/vscode/VSCodeProfileExtensionController.h"
#include "Tapestrel/apps/vscode/VSCodeStateDbController.h"

#include <QDir>

std::optional<VSCodeExtension> VSCodeProfileExtensionFinder::extensionAt(const QString &path)
{
    QString folder = QDir::cleanPath(path);
    const QString name = folder.mid(folder.lastIndexOf(QLatin1Char('/')) + 1);
    const qsizetype dash = name.lastIndexOf(QLatin1Char('-'));
    if (dash < 0)
        return std::nullopt;
    VSCodeExtension extension;
    extension.path = path;
    extension.prefix = name.left(dash);
    extension.version = name.mid(dash + 1);
    extension.identifier = extension.prefix;
    return extension;
}

QList<VSCodeExtension> VSCodeProfileExtensionFinder::extensions(const VSCodeProfile &profile)
{
    const auto listPath = VSCodeLocations::extensionsListPath(profile);
    if (!listPath)
        return {};
    const auto list = VSCodeProfileExtensionController::open(*listPath);
    if (!list)
        return {};
    QList<VSCodeExtension> found;
    for (const VSCodeProfileExtension &entry : list->profileExtensions()) {
        if (const auto extension = extensionAt(entry.path))
            found.append(*extension);
    }
    // The disabled list is read once for the whole listing.
    const auto disabled = VSCodeStateDbController::open(profile);
    if (!disabled)
        return found;
    QList<VSCodeExtension> enabled;
    for (const VSCodeExtension &extension : found) {
        const bool isDisabled =
            std::any_of(disabled->excludedExtensions().begin(), disabled->excludedExtensions().end(),
                        [&extension](const VSCodeExcludedExtension &excluded) {
                            return excluded.id == extension.identifier;
                        });
        if (!isDisabled)
            enabled.append(extension);
    }
    return enabled;
}
