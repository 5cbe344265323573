#pragma once

#include <QString>

#include <optional>

// Hot-key codes as the key fields show them, and back. A code is the 16-bit character the keyboard
// sends for the key (function keys in the platform's private-use range); keys that type nothing
// readable have names, localised from the "Keys" table.
namespace OVUnicharToStringTransformer {

// The key's name, or its one character; 0 (no key) is the empty string.
QString transformedValue(unsigned short code);
// A name, symbol or text-system command name to its code; otherwise the code of the first
// character; the empty string is 0.
unsigned short reverseTransformedValue(const QString& string);

// The entry of a table: a name for a code, a code for a string; nothing when the table has none.
std::optional<QString> nameForCode(unsigned short code);
std::optional<unsigned short> codeForString(const QString& string);

} // namespace OVUnicharToStringTransformer
