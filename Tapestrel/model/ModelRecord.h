#pragma once

#include <QObject>
#include <QPointer>

class ModelContext;

// Base of the stored records. A record belongs to no context until it is inserted; from then on the
// context owns it, tracks its changes and writes them at the next save. Two records are equal only
// when they are the same object: the identity map of a context hands out one object per stored row.
class ModelRecord : public QObject
{
    Q_OBJECT

public:
    ~ModelRecord() override;

    // The context the record was inserted into or fetched from; null for a new record.
    ModelContext *modelContext() const;
    // The row of the record in the store; 0 until the record has been saved.
    qint64 persistentId() const { return m_rowId; }
    // True once the record has been deleted from its context (saved or not).
    bool isDeleted() const { return m_deleted; }

protected:
    explicit ModelRecord(QObject *parent = nullptr);
    // Called by every setter of a stored field after the value changed, with the field's bit (its
    // column in the order StoreQueries lists them; an option's profile and place count as one), or
    // with none for a change of a list the record holds. A save writes only the fields changed.
    void markChanged(quint8 field = 0);
    // True while the context is filling the record from the store: setters then record nothing.
    bool isLoadingFromStore() const { return m_loadingFromStore; }

private:
    friend class ModelContext;
    QPointer<ModelContext> m_context;
    qint64 m_rowId = 0;
    bool m_deleted = false;
    bool m_loadingFromStore = false;
    // The fields changed since the last save (bits as for markChanged()).
    quint8 m_changedFields = 0;
};
