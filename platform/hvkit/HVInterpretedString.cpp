#include "platform/hvkit/HVInterpretedString.h"

std::optional<bool> HVInterpretedString::boolValue(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::Bool:
        return value.toBool();
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
        return value.toDouble() != 0.0;
    case QMetaType::QString:
        break;
    default:
        return std::nullopt;
    }
    const QString text = value.toString().trimmed().toLower();
    if (text == u"yes" || text == u"true" || text == u"1" || text == u"on" || text == u"y")
        return true;
    if (text == u"no" || text == u"false" || text == u"0" || text == u"off" || text == u"n")
        return false;
    return std::nullopt;
}
