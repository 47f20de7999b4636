#pragma once

#include <QObject>
#include <QString>

namespace KivUtilities {
class UpdateDetector;
}

namespace KivIntroduction {

// Decides whether the introduction is due and records that it was shown.
class ShouldDisplayIntroductionChecker
{
public:
    virtual ~ShouldDisplayIntroductionChecker() = default;
    virtual bool shouldDisplay() const = 0;
    virtual void markAsDisplayed() = 0;
};

// Always due; records nothing.
class AlwaysShouldDisplayChecker : public ShouldDisplayIntroductionChecker
{
public:
    bool shouldDisplay() const override { return true; }
    void markAsDisplayed() override { }
};

// Due until a Boolean in the standard user defaults says it was shown. With an update detector, an
// installation that has been updated never shows it.
class DefaultShouldDisplayChecker : public ShouldDisplayIntroductionChecker
{
public:
    // Registers false as the key's default.
    explicit DefaultShouldDisplayChecker(QString didDisplayUserDefaultsKey,
                                         KivUtilities::UpdateDetector *updateDetector = nullptr);

    QString didDisplayUserDefaultsKey() const { return m_key; }
    bool shouldDisplay() const override;
    void markAsDisplayed() override;

private:
    QString m_key;
    KivUtilities::UpdateDetector *m_updateDetector;
};

// Follows the user's acceptance of the licence agreement ("didAcceptLicense").
class LicenseAgreementChecker : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool isAccepted READ isAccepted NOTIFY isAcceptedChanged)

public:
    explicit LicenseAgreementChecker(QObject *parent = nullptr);

    bool isAccepted() const { return m_isAccepted; }

signals:
    void isAcceptedChanged(bool isAccepted);

private:
    void refresh();

    bool m_isAccepted = false;
};

} // namespace KivIntroduction
