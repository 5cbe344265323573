#pragma once

#include "platform/foundation/Error.h"
#include "platform/foundation/PlistValue.h"

#include <QUrl>
#include <QVariant>

struct OVLoadedDocumentInfo;

// The classes a loaded value is checked against, named in the log as the platform names them.
enum class OVPlistClass { AttributedString, Array, Dictionary, String, Number, Date, Data, Color };

// The type check used throughout reading. An absent (null) object passes, so does one of the class;
// anything else logs "Error: `key` should be <class> but is <class>" and fails with the
// corrupt-file error carrying fileURL.
bool _isPlistObject(const QVariant& object, OVPlistClass kindOfClass, const QString& plistKey,
                    const QUrl& fileURL, Error* error);
bool _isPlistObject(const PlistValue& object, OVPlistClass kindOfClass, const QString& plistKey,
                    const QUrl& fileURL, Error* error);

// The checks every loaded document passes, after any reader (native, older format or foreign
// import): each known key's type, selected ranges kept only where they lie within the text, and
// the name lists of the extended metadata. Fails with the corrupt-file error; an extended property
// of the wrong type does not fail the read but is dropped with the check's log line.
bool checkLoadedDocumentInfo(OVLoadedDocumentInfo& info, const QUrl& fileURL, Error* error);
