#include "prompter_view/OVScreenModeTransformers.h"

#include <cmath>

namespace {

// The leading decimal integer of a string, 0 without one, as a string's integer value reads.
qint64 leadingInteger(const QString& string)
{
    const QString trimmed = string.trimmed();
    qsizetype end = 0;
    if (end < trimmed.size() && (trimmed[end] == u'-' || trimmed[end] == u'+'))
        ++end;
    while (end < trimmed.size() && end < 19 && trimmed[end].isDigit())
        ++end;
    bool ok = false;
    const qint64 value = trimmed.left(end).toLongLong(&ok);
    return ok ? value : 0;
}

// What answers an integer value: numbers (reals truncated, those beyond any mode count as 0),
// booleans and strings. Anything else answers nothing.
std::optional<qint64> integerValue(const PlistValue& value)
{
    if (value.isInteger())
        return value.integer();
    if (value.isReal()) {
        const double real = value.real();
        return std::abs(real) < 1e15 ? qint64(real) : 0;
    }
    if (value.isBoolean())
        return value.boolean() ? 1 : 0;
    if (value.isString())
        return leadingInteger(value.string());
    return std::nullopt;
}

} // namespace

std::optional<bool> OVIsScreenModeDualScreenValueTransformer(const PlistValue& screenMode)
{
    const std::optional<qint64> mode = integerValue(screenMode);
    if (!mode)
        return std::nullopt;
    return *mode == 1;
}

std::optional<bool> OVIsScreenModeDualScreenOrMirroredValueTransformer(const PlistValue& screenMode)
{
    const std::optional<qint64> mode = integerValue(screenMode);
    if (!mode)
        return std::nullopt;
    return *mode == 1 || *mode == 2;
}
