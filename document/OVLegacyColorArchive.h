#pragma once

#include "platform/text/Color.h"

#include <QByteArrayView>

#include <optional>

// Reads the one thing the older prompter document keeps in the platform's old non-keyed
// ("typed stream") archive form: a colour in an RGB or grey space. Anything else, and any damaged or
// oversized input, reads as nothing.
class OVLegacyColorArchive {
public:
    static constexpr qsizetype kMaxBytes = 4096;

    static std::optional<Color> unarchivedColor(QByteArrayView data);
    // The archive of a colour as the old archiver writes it; used to make test documents.
    static QByteArray archivedData(const Color& color);
};
