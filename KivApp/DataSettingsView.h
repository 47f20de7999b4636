#pragma once

#include "KivApp/SettingsPage.h"

#include <QList>
#include <QPointer>
#include <QString>

class QLabel;
class QPushButton;

namespace KivApp {

class CloudKitStatusModel;
class DataResetController;

// One folder the program keeps its data in, as the data page lists it.
struct DataDirectory
{
    QString name;
    QString path;
};

// The "Data" settings tab: the cloud sync status with the reset of the local data, and the data
// folders, each with a button that shows it in the file manager.
class DataSettingsView : public SettingsPage
{
    Q_OBJECT

public:
    // The model and the reset controller must outlive the page.
    DataSettingsView(CloudKitStatusModel *model, QList<DataDirectory> directories,
                     DataResetController *resetController, bool isResetToCloudStateVisible = true,
                     QWidget *parent = nullptr);

    const QList<DataDirectory> &directories() const { return m_directories; }
    bool isResetting() const { return m_resetting; }

    // Asks first; on yes, resets (see resetData) and tells the user when it failed.
    void confirmAndReset();

signals:
    void resetFinished(bool succeeded);

private:
    QWidget *build();

    CloudKitStatusModel *m_model;
    QList<DataDirectory> m_directories;
    DataResetController *m_resetController;
    bool m_isResetToCloudStateVisible;
    bool m_resetting = false;
    QPointer<QPushButton> m_resetButton;
};

} // namespace KivApp
