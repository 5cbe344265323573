#pragma once

#include "platform/foundation/Range.h"
#include "platform/foundation/Rect.h"

#include <QString>
#include <QStringView>

// The text forms of ranges, points, sizes and rectangles as the platform writes them into documents
// and settings: "{3, 5}", "{12.5, 3}", "{{0, 0}, {800, 600}}". Whole numbers carry no decimal point;
// other values use the shortest digits that read back to the same double.
QString stringFromRange(const Range& range);
QString stringFromPoint(const Point& point);
QString stringFromSize(const Size& size);
QString stringFromRect(const Rect& rect);

// Readers as lenient as the platform's: they take the numbers in order and ignore every other
// character (braces, commas, spaces, stray text); a missing number reads 0. Numbers too large for a
// double read as infinity, too large for an index saturate. They never fail and never read past the
// text; letters are never numbers, so "nan" and "inf" read as missing.
Range rangeFromString(QStringView text);
Point pointFromString(QStringView text);
Size sizeFromString(QStringView text);
Rect rectFromString(QStringView text);
