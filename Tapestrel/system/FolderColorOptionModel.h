#pragma once

#include "Tapestrel/model/PendingOptionModel.h"

// The option "system.finder.folderColor". Applying and reading are not part of the program yet: see the base
// class.
class FolderColorOptionModel : public PendingOptionModel
{
public:
    FolderColorOptionModel(QString tintColorKey, QString customTintColorKey);

    static QString optionKey() { return QStringLiteral("system.finder.folderColor"); }
    static QStringList optionDisplayPath()
    {
        return {QStringLiteral("System"), QStringLiteral("Appearance"), QStringLiteral("Folder Color")};
    }

    QString key() const override { return optionKey(); }
    QStringList displayPath() const override { return optionDisplayPath(); }

    QString tintColorKey() const { return m_tintColorKey; }
    QString customTintColorKey() const { return m_customTintColorKey; }

private:
    QString m_tintColorKey;
    QString m_customTintColorKey;
};
