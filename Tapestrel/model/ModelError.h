#pragma once

#include <QString>

#include <stdexcept>

// Errors of the profile store and of the records' JSON forms. Both carry the program's error domain
// and a text that can be shown to the user as it stands.
class ModelError : public std::runtime_error
{
public:
    enum class Code { StoreUnavailable = 1, StoreOperationFailed = 2, InvalidJson = 3 };

    ModelError(Code code, const QString &message)
        : std::runtime_error(message.toStdString())
        , m_code(code)
        , m_message(message)
    { }

    static constexpr const char *domain = "com.quorvane.Tapestrel.Errors";
    Code code() const { return m_code; }
    QString message() const { return m_message; }

private:
    Code m_code;
    QString m_message;
};

// The store could not be opened or a query, insert or save failed.
class ModelStoreError : public ModelError
{
public:
    ModelStoreError(Code code, const QString &message)
        : ModelError(code, message)
    { }
};

// A JSON text that is not the record's form: malformed, a member missing or of the wrong type.
class JsonDecodeError : public ModelError
{
public:
    explicit JsonDecodeError(const QString &message)
        : ModelError(Code::InvalidJson, message)
    { }
};
