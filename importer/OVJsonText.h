#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QJsonValue>

// JSON text of the values an importer reports, written and checked byte by byte: a script's whole
// text passes through here, and the general JSON classes copy and convert it several times over.
namespace OVJsonText {

// The value as JSON text: strings, whole numbers and arrays of those; null for anything else.
QByteArray write(const QJsonValue& value);
QByteArray quoted(const QString& string);

// True when text is exactly one JSON string, number or array of those (with nothing after it), in
// valid UTF-8 and nested at most a few levels: what a host passes on verbatim.
bool isValue(QByteArrayView text);

} // namespace OVJsonText
