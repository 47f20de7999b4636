#include "zip/ZipError.h"

#include <QCoreApplication>

namespace Zip {

ZipError::ZipError(Code code)
    : m_code(code)
    , m_what(description().toUtf8())
{ }

QString ZipError::description() const
{
    switch (m_code) {
    case fileNotFound:
        return QCoreApplication::translate("ZipError", "File not found.");
    case unzipFail:
        return QCoreApplication::translate("ZipError", "Failed to unzip file.");
    case zipFail:
        return QCoreApplication::translate("ZipError", "Failed to zip file.");
    }
    return {};
}

const char *ZipError::what() const noexcept
{
    return m_what.constData();
}

} // namespace Zip
