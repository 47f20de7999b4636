// VS Code's state database: the input is the whole database file, read through the same path as
// the program reads a profile's "state.vscdb". Whatever the bytes, the read ends, opens the file
// read-only (the bytes stay as they were, nothing is made beside them) and gives either nothing or
// entries that each hold an id and a uuid.

#include "Tapestrel/apps/vscode/VSCodeStateDbController.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

namespace {

void require(bool condition, const char *message)
{
    if (!condition) {
        std::fprintf(stderr, "%s\n", message);
        std::abort();
    }
}

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static QTemporaryDir folder;
    require(folder.isValid(), "no temporary folder");
    const QString path = folder.filePath(QStringLiteral("state.vscdb"));
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    {
        QFile file(path);
        require(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size(),
                "cannot write the database");
    }

    (void)VSCodeStateDbController::readValue(QStringLiteral("workbench.panel.height"), path);
    if (const auto controller = VSCodeStateDbController::openFile(path)) {
        for (const VSCodeExcludedExtension &extension : controller->excludedExtensions())
            require(!extension.id.isNull() && !extension.uuid.isNull(), "an entry without id or uuid");
    }
    require(contents(path) == bytes, "the database was changed");
    require(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden | QDir::System)
                == QStringList {"state.vscdb"},
            "a file was left beside the database");
    return 0;
}
