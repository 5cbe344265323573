#include "preferences/OVUnicharToStringTransformer.h"

#include "platform/hvkit/HVLocalizedString.h"

#include <QHash>

namespace {

struct NamedKey {
    unsigned short code;
    const char* localizationKey;
    const char* name;
};

constexpr NamedKey kNamedKeys[] = {
    {3, "key-enter", "Enter"},
    {9, "key-tab", "Tab"},
    {13, "key-return", "Return"},
    {27, "key-escape", "Escape"},
    {32, "key-space", "Space"},
    {127, "key-delete", "Delete"},
    {0xF700, "key-arrow-up", "Up Arrow"},
    {0xF701, "key-arrow-down", "Down Arrow"},
    {0xF702, "key-arrow-left", "Left Arrow"},
    {0xF703, "key-arrow-right", "Right Arrow"},
    {0xF728, "key-forward-delete", "Forward Delete"},
    {0xF729, "key-home", "Home"},
    {0xF72B, "key-end", "End"},
    {0xF72C, "key-page-up", "Page Up"},
    {0xF72D, "key-page-down", "Page Down"},
};

struct Tables {
    QHash<unsigned short, QString> names;
    QHash<QString, unsigned short> codes;
};

// Built once, on first use: the names are localised then.
const Tables& tables()
{
    static const Tables built = [] {
        Tables t;
        for (const NamedKey& key : kNamedKeys) {
            const QString name =
                HVLocalizedString::localizedString(QString::fromLatin1(key.localizationKey),
                                                   QString::fromLatin1(key.name), QStringLiteral("Keys"));
            t.names.insert(key.code, name);
            t.codes.insert(name, key.code);
        }
        const std::pair<const char*, unsigned short> symbols[] = {
            {"⇥", 9},
            {"insertTab:", 9},
            {"↩", 13},
            {"insertNewline:", 13},
            {"⎋", 27},
            {"cancelOperation:", 27},
            {" ", 32},
            {"⌫", 127},
            {"deleteBackward:", 127},
            {"↑", 0xF700},
            {"moveUp:", 0xF700},
            {"↓", 0xF701},
            {"moveDown:", 0xF701},
            {"←", 0xF702},
            {"moveLeft:", 0xF702},
            {"→", 0xF703},
            {"moveRight:", 0xF703},
            {"⌦", 0xF728},
            {"deleteForward:", 0xF728},
            {"scrollToBeginningOfDocument:", 0xF729},
            {"scrollToEndOfDocument:", 0xF72B},
            {"scrollPageUp:", 0xF72C},
            {"scrollPageDown:", 0xF72D},
        };
        for (const auto& [string, code] : symbols)
            t.codes.insert(QString::fromUtf8(string), code);
        return t;
    }();
    return built;
}

} // namespace

namespace OVUnicharToStringTransformer {

std::optional<QString> nameForCode(unsigned short code)
{
    const auto found = tables().names.constFind(code);
    if (found == tables().names.cend())
        return std::nullopt;
    return *found;
}

std::optional<unsigned short> codeForString(const QString& string)
{
    const auto found = tables().codes.constFind(string);
    if (found == tables().codes.cend())
        return std::nullopt;
    return *found;
}

QString transformedValue(unsigned short code)
{
    // No key shows as nothing rather than as an invisible character the field would hold.
    if (code == 0)
        return QString();
    if (std::optional<QString> name = nameForCode(code))
        return *name;
    return QString(QChar(char16_t(code)));
}

unsigned short reverseTransformedValue(const QString& string)
{
    if (string.isEmpty())
        return 0;
    if (std::optional<unsigned short> code = codeForString(string))
        return *code;
    return string.at(0).unicode();
}

} // namespace OVUnicharToStringTransformer
