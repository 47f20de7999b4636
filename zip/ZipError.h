#pragma once

#include <QString>

#include <exception>

namespace Zip {

// The one error of the zip layer. Callers compare codes; description() gives the text to show.
class ZipError : public std::exception
{
public:
    enum Code { fileNotFound, unzipFail, zipFail };

    explicit ZipError(Code code);

    Code code() const { return m_code; }
    QString description() const;
    const char *what() const noexcept override;

    bool operator==(const ZipError &other) const { return m_code == other.m_code; }

private:
    Code m_code;
    QByteArray m_what;
};

} // namespace Zip
