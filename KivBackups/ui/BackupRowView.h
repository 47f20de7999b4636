#pragma once

#include "KivBackups/Backup.h"

#include <QWidget>

class QLabel;

namespace KivBackups {

// One row of the backups list: the backup symbol, the date the backup was made, its size and, for a
// locked backup, a lock. A row shows one backup value for its whole life; the list builds a new row
// when a backup changes (locked, unlocked, renamed, resized).
class BackupRowView : public QWidget
{
    Q_OBJECT

public:
    explicit BackupRowView(const Backup &backup, QWidget *parent = nullptr);

    const Backup &backup() const { return m_backup; }

    // Follows the row's selection in the list, so the texts stay readable on the highlight.
    void setSelected(bool selected);

    // The date in the user's locale, as the row shows it.
    static QString dateText(const QDateTime &date);
    // A size in bytes as a person reads it: decimal units, as few fraction digits as the size
    // needs, "Zero KB" for nothing.
    static QString sizeText(qint64 bytes);

    QLabel *dateLabel() const { return m_date; }
    QLabel *sizeLabel() const { return m_size; }
    // The lock symbol; null for an unlocked backup.
    QLabel *lockLabel() const { return m_lock; }

private:
    void applyColors();

    Backup m_backup;
    QLabel *m_date;
    QLabel *m_size;
    QLabel *m_lock = nullptr;
    bool m_selected = false;
};

} // namespace KivBackups
