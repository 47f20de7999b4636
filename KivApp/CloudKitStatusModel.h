#pragma once

#include <QObject>
#include <QString>

namespace KivApp {

// The state of mirroring the profile store to the cloud. This system keeps the store on this
// computer only, so the status is fixed and says so; it never changes and never works.
class CloudKitStatusModel : public QObject
{
    Q_OBJECT

public:
    enum class Status { unavailable };

    explicit CloudKitStatusModel(QObject *parent = nullptr)
        : QObject(parent)
    { }

    bool isWorking() const { return false; }
    Status status() const { return Status::unavailable; }
    // What the last attempt to sync reported, for people.
    QString lastStatus() const
    {
        return tr("Profiles are stored on this computer only; cloud sync is not available.");
    }
};

} // namespace KivApp
