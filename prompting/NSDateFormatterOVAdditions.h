#pragma once

#include <QString>

// Date-pattern helpers for the time formatter.

// Removes the quoting of a date pattern: a doubled single quote becomes one, every other single
// quote is dropped ("h 'o''clock'" becomes "h o'clock").
QString standardizeDateFormat(const QString& dateFormat);

// Turns one of Qt's time formats into Unicode date-pattern letters, which the formatter reads:
// Qt's "AP"/"ap"/"A"/"a" become "a", "h" without a marker becomes "H", "t" becomes "z" and
// milliseconds become "S". Quoted text is kept as it is.
QString unicodeDateFormatFromQtFormat(const QString& qtFormat);
