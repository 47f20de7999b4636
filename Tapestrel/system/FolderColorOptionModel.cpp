#include "Tapestrel/system/FolderColorOptionModel.h"

FolderColorOptionModel::FolderColorOptionModel(QString tintColorKey, QString customTintColorKey)
    : m_tintColorKey(std::move(tintColorKey))
    , m_customTintColorKey(std::move(customTintColorKey))
{ }
