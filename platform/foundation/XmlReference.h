#pragma once

#include <QString>

#include <string_view>

// What the XML readers of property lists and of office documents share: the characters XML allows and
// the references every document may use without declaring them.

bool isXmlCharacter(char32_t c);

// Appends the character a reference names ("amp", "#233", "#xE9"): one of the five predefined entities, or
// a character reference to a character XML allows. Anything else is refused and nothing is appended.
bool appendXmlReference(std::string_view name, QString& out);
