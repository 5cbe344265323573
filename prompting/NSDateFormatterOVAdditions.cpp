#include "prompting/NSDateFormatterOVAdditions.h"

#include <QUuid>

QString standardizeDateFormat(const QString& dateFormat)
{
    if (!dateFormat.contains(u'\''))
        return dateFormat;
    // A placeholder that cannot occur in the pattern keeps the doubled quotes apart while the
    // single ones are removed.
    const QString placeholder = QUuid::createUuid().toString();
    QString result = dateFormat;
    result.replace(QStringLiteral("''"), placeholder);
    result.remove(u'\'');
    result.replace(placeholder, QStringLiteral("'"));
    return result;
}

namespace {

bool hasAmPmMarker(const QString& qtFormat)
{
    bool quoted = false;
    for (QChar c : qtFormat) {
        if (c == u'\'')
            quoted = !quoted;
        else if (!quoted && (c == u'a' || c == u'A'))
            return true;
    }
    return false;
}

} // namespace

QString unicodeDateFormatFromQtFormat(const QString& qtFormat)
{
    const bool twelveHour = hasAmPmMarker(qtFormat);
    QString result;
    result.reserve(qtFormat.size());
    bool quoted = false;
    for (qsizetype i = 0; i < qtFormat.size(); ++i) {
        const QChar c = qtFormat[i];
        if (c == u'\'') {
            quoted = !quoted;
            result += c;
            continue;
        }
        if (quoted) {
            result += c;
            continue;
        }
        if (c == u'a' || c == u'A') {
            result += u'a';
            if (i + 1 < qtFormat.size() && (qtFormat[i + 1] == u'p' || qtFormat[i + 1] == u'P'))
                ++i;
        } else if (c == u'h') {
            result += twelveHour ? u'h' : u'H';
        } else if (c == u't') {
            result += u'z';
        } else if (c == u'z') {
            result += u'S';
        } else {
            result += c;
        }
    }
    return result;
}
