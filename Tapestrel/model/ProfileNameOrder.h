#pragma once

#include <QList>

class Profile;

// The one order of profiles by name that every view uses: the user's locale collation, letter case
// ignored, numbers by value ("Profile 2" before "Profile 10"), "Émile" beside "Emma". Equal names keep
// their order.
void sortProfilesByName(QList<Profile *> &profiles);
