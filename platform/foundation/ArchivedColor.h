#pragma once

// A colour as keyed archives hold it: components in one of the platform's RGB or grey colour
// spaces. The space numbers are those archives store under "NSColorSpace".
struct ArchivedColor {
    enum class Space { CalibratedRGB = 1, DeviceRGB = 2, CalibratedWhite = 3, DeviceWhite = 4 };

    Space space = Space::DeviceRGB;
    // Used by the RGB spaces.
    double red = 0;
    double green = 0;
    double blue = 0;
    // Used by the white spaces.
    double white = 0;
    double alpha = 1;

    static ArchivedColor rgb(double red, double green, double blue, double alpha = 1,
                             Space space = Space::DeviceRGB)
    {
        ArchivedColor color;
        color.space = space;
        color.red = red;
        color.green = green;
        color.blue = blue;
        color.alpha = alpha;
        return color;
    }

    static ArchivedColor grey(double white, double alpha = 1, Space space = Space::DeviceWhite)
    {
        ArchivedColor color;
        color.space = space;
        color.white = white;
        color.alpha = alpha;
        return color;
    }

    bool isRGB() const { return space == Space::CalibratedRGB || space == Space::DeviceRGB; }

    bool operator==(const ArchivedColor&) const = default;
};
