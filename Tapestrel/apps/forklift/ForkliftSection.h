#pragma once

#include "Tapestrel/widgets/AppSection.h"

class ForkliftAppConfig;

// ForkLift's editor section: its theme row.
class ForkliftSection : public AppSection
{
    Q_OBJECT

public:
    ForkliftSection(Profile *profile, const ForkliftAppConfig *config, SynchronizedOptionsStore *store,
                    QWidget *parent = nullptr);
};
