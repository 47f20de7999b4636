#pragma once

#include <QObject>
#include <QString>

namespace KivApp {

// The state of syncing the profile store with the cloud. This system keeps the store on this
// computer only, so the status is fixed and says so.
class CloudKitStatusModel : public QObject
{
    Q_OBJECT

public:
    enum class Status { unavailable };

    explicit CloudKitStatusModel(QObject *parent = nullptr)
        : QObject(parent)
    { }

    Status status() const { return Status::unavailable; }
    bool isSyncing() const { return false; }
    QString statusText() const
    {
        return tr("Profiles are stored on this computer only; cloud sync is not available.");
    }
};

} // namespace KivApp
