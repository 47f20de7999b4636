#pragma once

#include <QCoro/QCoroTask>
#include <QPointer>

class Profile;

// Fills a profile again from the current settings; the caller marks it as loading first.
class GetCurrentSettingsCommand
{
public:
    explicit GetCurrentSettingsCommand(Profile *profile);

    QCoro::Task<void> execute();

private:
    static QCoro::Task<void> perform(QPointer<Profile> profile);

    QPointer<Profile> m_profile;
};
