#pragma once

#include <QCoro/QCoroTask>
#include <QList>
#include <QString>
#include <QUrl>

#include <optional>

namespace KivApp {

// What the application gives the kit to reset its data: the reset itself and the files to delete
// after it.
class DataResetController
{
public:
    virtual ~DataResetController() = default;
    // Throws when the data could not be reset.
    virtual QCoro::Task<void> reset() = 0;
    virtual QList<QUrl> urls() const = 0;
};

// Resets first and deletes the listed files only when the reset succeeded. Gives the error text
// when something failed (nothing deleted when the reset itself failed), nothing on success.
QCoro::Task<std::optional<QString>> resetData(DataResetController *controller);

} // namespace KivApp
