#pragma once

#include "Tapestrel/apps/vscode/VSCodeExtension.h"
#include "Tapestrel/apps/vscode/VSCodeProfile.h"

#include <QList>

// The enabled extensions of a VS Code profile: its "extensions.json" minus the extensions that its
// state database lists as disabled.
class VSCodeProfileExtensionFinder
{
public:
    // In the order of "extensions.json"; empty when nothing can be read.
    static QList<VSCodeExtension> extensions(const VSCodeProfile &profile);

    // The extension that a folder path names: publisher.name before the last "-", the version after
    // it. None when the folder name holds no "-".
    static std::optional<VSCodeExtension> extensionAt(const QString &path);
};
