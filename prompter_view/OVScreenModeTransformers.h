#pragma once

#include "platform/foundation/PlistValue.h"

#include <QString>

#include <optional>

// The screen-mode setting ("screenMode") as the preview panel's controls read it. Both answer
// nothing for a value that is not a number.

inline const QString kIsScreenModeDualScreenTransformerName =
    QStringLiteral("IsScreenModeDualScreenTransformerName");
inline const QString kIsScreenModeDualScreenOrMirroredTransformerName =
    QStringLiteral("IsScreenModeDualScreenOrMirroredTransformerName");

// True exactly for 1, the second display chosen.
std::optional<bool> OVIsScreenModeDualScreenValueTransformer(const PlistValue& screenMode);
// True for 1 and 2, the second display chosen or mirroring the first.
std::optional<bool> OVIsScreenModeDualScreenOrMirroredValueTransformer(const PlistValue& screenMode);
