#include "Tapestrel/ui/TapestrelURL.h"

QString toRawValue(TapestrelURL page)
{
    switch (page) {
    case TapestrelURL::community:
        return QStringLiteral("https://tapestrel.quorvane.example/community");
    case TapestrelURL::alfredWorkflow:
        return QStringLiteral("https://tapestrel.quorvane.example/alfred-workflow");
    case TapestrelURL::releaseNotes:
        return QStringLiteral("https://tapestrel.quorvane.example/releases");
    }
    return {};
}

QString releaseNotesURL(const QString &version)
{
    return toRawValue(TapestrelURL::releaseNotes) + QLatin1Char('/') + version;
}
