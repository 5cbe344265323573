#pragma once

#include <QString>

// A font as text attributes carry it: names, size and the traits the editor toggles. A plain value so
// that the model and the file formats need no display.
struct Font {
    QString familyName;
    // The PostScript name ("Helvetica-Bold"); what RTF font tables and font lookups use.
    QString fontName;
    double pointSize = 12;
    bool bold = false;
    bool italic = false;
    bool fixedPitch = false;

    Font withPointSize(double size) const
    {
        Font font = *this;
        font.pointSize = size;
        return font;
    }

    bool operator==(const Font&) const = default;
};
