#pragma once

#include <QString>

// The product's own web pages (the maker's pages are KivUtilities::MakerURL).
enum class TapestrelURL { community, alfredWorkflow, releaseNotes };

QString toRawValue(TapestrelURL page);

// The page of the release notes of one version.
QString releaseNotesURL(const QString &version);
