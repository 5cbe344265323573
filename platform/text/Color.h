#pragma once

#include <QtGlobal>

// A colour as text attributes carry it: sRGB or grey components in 0...1 with alpha. Two colours are
// equal when their space and components are, so runs that differ only by colour never merge.
struct Color {
    enum class Space : quint8 { RGB, Gray };

    Space space = Space::RGB;
    double red = 0;
    double green = 0;
    double blue = 0;
    double alpha = 1;

    static Color rgb(double red, double green, double blue, double alpha = 1)
    {
        return Color{Space::RGB, red, green, blue, alpha};
    }
    // A grey keeps its single component in all three channels, so readers need not care about the space.
    static Color gray(double white, double alpha = 1)
    {
        return Color{Space::Gray, white, white, white, alpha};
    }
    // From 8-bit channels, as colour tables and hex strings give them.
    static Color fromRgb8(int red, int green, int blue, int alpha = 255)
    {
        return rgb(red / 255.0, green / 255.0, blue / 255.0, alpha / 255.0);
    }

    double white() const { return red; }
    bool isGray() const { return space == Space::Gray; }
    // Nearest 8-bit channel value of a component, clamped to 0...255.
    static int toByte(double component);

    bool operator==(const Color&) const = default;
};
