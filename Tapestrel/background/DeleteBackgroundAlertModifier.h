#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <optional>

#include "Tapestrel/model/CustomBackground.h"
class QWidget;

// The confirmation before a custom background is deleted: "Are you sure you want to delete this
// background?" with a destructive button and "Cancel". Setting a pending background opens it. The
// alert keeps the record it was opened for: confirming deletes that record when it still exists,
// whatever happened to the pending state meanwhile.
class DeleteBackgroundAlertModifier : public QObject
{
    Q_OBJECT

public:
    DeleteBackgroundAlertModifier(std::optional<QString> message, QString confirmTitle,
                                  std::function<void(CustomBackground *)> onConfirm, QWidget *parent);

    static QString title();

    CustomBackground *deletingBackground() const { return m_deletingBackground; }
    // Opens the alert for the record (nothing for none) and handles its answer; the pending
    // background is empty again afterwards.
    void setDeletingBackground(CustomBackground *background);

private:
    std::optional<QString> m_message;
    QString m_confirmTitle;
    std::function<void(CustomBackground *)> m_onConfirm;
    QPointer<QWidget> m_parent;
    QPointer<CustomBackground> m_deletingBackground;
};
