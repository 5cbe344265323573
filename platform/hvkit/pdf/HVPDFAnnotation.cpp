#include "platform/hvkit/pdf/HVPDFAnnotation.h"

namespace {

constexpr double kNoteSize = 24;
constexpr double kNoteInset = 8;

} // namespace

Rect HVPDFAnnotation::defaultRect()
{
    return Rect{{-(kNoteSize + kNoteInset), -(kNoteSize + kNoteInset)}, {kNoteSize, kNoteSize}};
}

std::optional<HVPDFAnnotation> HVPDFAnnotation::noteAnnotationWithContents(const QString& contents,
                                                                           const QString& userName,
                                                                           const QColor& color, int page,
                                                                           int location, const Rect& rect,
                                                                           bool flipped, bool absolute)
{
    if (contents.isEmpty())
        return std::nullopt;
    HVPDFAnnotation note;
    note.m_contents = contents;
    note.m_userName = userName;
    note.m_color = color.isValid() ? color : QColor(Qt::yellow);
    note.m_page = page;
    note.m_location = location;
    note.m_rect = rect;
    note.m_flipped = flipped;
    note.m_absolute = absolute;
    return note;
}
