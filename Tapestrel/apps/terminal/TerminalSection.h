#pragma once

#include "Tapestrel/widgets/AppSection.h"

class TerminalAppConfig;

// Terminal's editor section: the default and the start-up theme, and the note that Terminal must be
// restarted to pick them up.
class TerminalSection : public AppSection
{
    Q_OBJECT

public:
    TerminalSection(Profile *profile, const TerminalAppConfig *config, SynchronizedOptionsStore *store,
                    QWidget *parent = nullptr);
};
