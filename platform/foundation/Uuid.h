#pragma once

#include <QString>

// A new random UUID as the platform prints it: 36 characters, upper-case hexadecimal digits in
// groups of 8-4-4-4-12 joined by hyphens.
QString uuidString();
