#pragma once

#include "platform/foundation/Error.h"
#include "platform/text/Color.h"
#include "platform/text/MutableAttributedString.h"

#include <QString>

// What the preview and the thumbnail show of a native package: the script of its "Content.rtfd",
// without underline colours, and the colour it is shown on. Neither reads "Properties.plist".
class OVQuickLookContent {
public:
    // Bounds on one read, so a hostile package fails instead of exhausting memory.
    static constexpr int kMaxContentDepth = 8;
    static constexpr qsizetype kMaxContentEntries = 4096;
    static constexpr qint64 kMaxContentBytes = qint64(256) << 20;

    // Exactly the native type: a directory whose extension is the native one.
    static bool isNativePackage(const QString& path);

    // Reads the package's script; false with a read error when "Content.rtfd" is missing, is not a
    // directory of its own (a link, a pipe, a device), is too large or is not RTFD.
    static bool read(const QString& packagePath, MutableAttributedString& text, Color* backgroundColor,
                     Error* error);

    // A failure as the companions print it: what could not be done to which file, and why.
    static QString message(const Error& error);
};
