#include "platform/foundation/XmlReference.h"

bool isXmlCharacter(char32_t c)
{
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD) ||
           (c >= 0x10000 && c <= 0x10FFFF);
}

bool appendXmlReference(std::string_view name, QString& out)
{
    if (name == "amp")
        out.append(u'&');
    else if (name == "lt")
        out.append(u'<');
    else if (name == "gt")
        out.append(u'>');
    else if (name == "quot")
        out.append(u'"');
    else if (name == "apos")
        out.append(u'\'');
    else if (name.starts_with('#')) {
        const bool hexadecimal = name.size() > 1 && name[1] == 'x';
        const std::string_view digits = name.substr(hexadecimal ? 2 : 1);
        if (digits.empty())
            return false;
        char32_t code = 0;
        for (const char d : digits) {
            int value;
            if (d >= '0' && d <= '9')
                value = d - '0';
            else if (hexadecimal && d >= 'a' && d <= 'f')
                value = d - 'a' + 10;
            else if (hexadecimal && d >= 'A' && d <= 'F')
                value = d - 'A' + 10;
            else
                return false;
            // Past the last code point the value only needs to stay wrong, not to grow.
            code = std::min<char32_t>(code * (hexadecimal ? 16 : 10) + char32_t(value), 0x110000);
        }
        if (!isXmlCharacter(code))
            return false;
        out.append(QString::fromUcs4(&code, 1));
    } else {
        return false;
    }
    return true;
}
