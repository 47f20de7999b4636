#pragma once

#include "Tapestrel/apps/vscode/VSCodeProfileExtension.h"

#include <QList>

// One "extensions.json": the installed extensions of a VS Code profile in file order.
class VSCodeProfileExtensionController
{
public:
    // None when the file cannot be read or is not an array of objects; entries without their
    // identifier or location are skipped.
    static std::optional<VSCodeProfileExtensionController> open(const QString &path);

    const QList<VSCodeProfileExtension> &profileExtensions() const { return m_profileExtensions; }

private:
    QList<VSCodeProfileExtension> m_profileExtensions;
};
