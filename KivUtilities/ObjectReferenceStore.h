#pragma once

#include <QObject>
#include <QPointer>

namespace KivUtilities {

// A weak reference to an object: it reads as empty once the object is destroyed.
template<typename T> class ObjectReferenceStore
{
public:
    T *object() const { return m_object.data(); }
    void setObject(T *object) { m_object = object; }

private:
    QPointer<T> m_object;
};

} // namespace KivUtilities
