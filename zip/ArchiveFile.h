#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <optional>

namespace Zip {

// One file held in memory, packed by Zip::zipData under its file name.
struct ArchiveFile
{
    QString filename;
    QByteArray data;
    std::optional<QDateTime> modifiedTime;
};

} // namespace Zip
