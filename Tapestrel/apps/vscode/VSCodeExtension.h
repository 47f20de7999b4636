#pragma once

#include <QString>

// An installed extension's folder, named publisher.name-version.
struct VSCodeExtension
{
    QString path; // the folder
    QString prefix; // the folder name before its last "-"
    QString version; // the folder name after its last "-"
    QString identifier; // equal to prefix: what the disabled list is compared with

    friend bool operator==(const VSCodeExtension &, const VSCodeExtension &) = default;
};
