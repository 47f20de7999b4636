#pragma once

#include <QString>

// One entry of a profile's list of disabled extensions.
struct VSCodeExcludedExtension
{
    QString id;
    QString uuid;

    friend bool operator==(const VSCodeExcludedExtension &, const VSCodeExcludedExtension &) = default;
};
