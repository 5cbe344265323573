#include "platform/foundation/GeometryStrings.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

TEST(GeometryStringsTest, WritesThePlatformForms)
{
    EXPECT_EQ(stringFromRange({3, 5}), "{3, 5}");
    EXPECT_EQ(stringFromPoint({12.5, 3}), "{12.5, 3}");
    EXPECT_EQ(stringFromSize({800, 600}), "{800, 600}");
    EXPECT_EQ(stringFromRect({0, 0, 800, 600}), "{{0, 0}, {800, 600}}");
    EXPECT_EQ(stringFromRect({-1920, -0.0, 0.1, 1e6}), "{{-1920, 0}, {0.1, 1000000}}");
    EXPECT_EQ(stringFromPoint({1.0 / 3, 1e20}), "{0.3333333333333333, 1e+20}");
    EXPECT_EQ(stringFromPoint({0.0001, 0.00001}), "{0.0001, 1e-05}");
    EXPECT_EQ(stringFromPoint({std::nan(""), -HUGE_VAL}), "{nan, -inf}");
}

TEST(GeometryStringsTest, ReadsWhatItWrites)
{
    const double values[] = {0.1,      2.5e-310,           123456789.123,         -7,
                             1e16 + 2, 9007199254740993.0, 1.7976931348623157e308};
    for (double value : values) {
        const Rect rect(value, -value, value / 3, value * 3);
        const Rect back = rectFromString(stringFromRect(rect));
        if (rect.isFinite()) {
            EXPECT_EQ(back, rect) << stringFromRect(rect).toStdString();
        }
    }
    const Range range{std::numeric_limits<qsizetype>::max(), -5};
    EXPECT_EQ(rangeFromString(stringFromRange(range)), range);
}

TEST(GeometryStringsTest, ReadsLeniently)
{
    EXPECT_EQ(rangeFromString(u""), (Range{0, 0}));
    EXPECT_EQ(rangeFromString(u"{"), (Range{0, 0}));
    EXPECT_EQ(rangeFromString(u"{1"), (Range{1, 0}));
    EXPECT_EQ(rangeFromString(u"  {  7 ,\t 9 }  "), (Range{7, 9}));
    EXPECT_EQ(rangeFromString(u"location 4 length 2 and 99"), (Range{4, 2}));
    EXPECT_EQ(rangeFromString(u"{1.9, 3}"), (Range{1, 3}));
    EXPECT_EQ(rangeFromString(u"{-3, 1e3}"), (Range{-3, 1000}));
    EXPECT_EQ(pointFromString(u"{-.5, +2.}"), (Point{-0.5, 2}));
    EXPECT_EQ(pointFromString(u"{1e, 2e+}"), (Point{1, 2}));
    EXPECT_EQ(pointFromString(u"{--5, 3-4}"), (Point{-5, 3}));
    EXPECT_EQ(sizeFromString(u"{nan, inf}"), (Size{0, 0}));
    EXPECT_EQ(sizeFromString(u"{٣, 4}"), (Size{4, 0})) << "only ASCII digits are numbers";
    EXPECT_EQ(rectFromString(u"{{1,2},{3"), (Rect{1, 2, 3, 0}));
    EXPECT_EQ(rectFromString(u"{{1, 2}, {3, 4}, {5, 6}}"), (Rect{1, 2, 3, 4}));
    EXPECT_EQ(rectFromString(u"garbage"), Rect());
}

TEST(GeometryStringsTest, HugeNumbersSaturateInsteadOfWrapping)
{
    const Point huge = pointFromString(u"{1e400, -5}");
    EXPECT_TRUE(std::isinf(huge.x) && huge.x > 0);
    EXPECT_EQ(huge.y, -5);
    EXPECT_EQ(pointFromString(u"{-1e99999999999999999999, 1e-99999999999999}"), (Point{-HUGE_VAL, 0}));
    EXPECT_EQ(pointFromString(u"{0.0000000000000000000000000000000001e-400, 0}").x, 0);
    EXPECT_FALSE(rectFromString(u"{{1e309, 0}, {1, 1}}").isFinite());

    const Range range = rangeFromString(u"{99999999999999999999999, -99999999999999999999999}");
    EXPECT_EQ(range.location, std::numeric_limits<qsizetype>::max());
    EXPECT_EQ(range.length, std::numeric_limits<qsizetype>::min());
    EXPECT_EQ(rangeFromString(u"{1e300, -1e300}"), range);
}

TEST(GeometryStringsTest, LongAndHostileTextsStayBounded)
{
    const QString digits(200000, u'9');
    EXPECT_DOUBLE_EQ(pointFromString(QString(150000, u'1') + QLatin1String("e-149999")).x,
                     1.1111111111111111);
    EXPECT_TRUE(std::isinf(pointFromString(digits).x));
    EXPECT_EQ(pointFromString(QLatin1String("0.") + QString(100000, u'0') + QLatin1String("1")).x, 0);
    EXPECT_EQ(rangeFromString(QString(100000, u'{') + QLatin1String("5")).location, 5);
    EXPECT_EQ(rectFromString(QString(100000, u'-')), Rect());
    // A lone sign, dot or exponent at the very end must not read past the text.
    for (const char16_t* tail : {u"-", u"+", u".", u"1e", u"1e-", u"-.", u"1."})
        EXPECT_NO_FATAL_FAILURE(rectFromString(QStringView(tail)));
    QString withNul = QStringLiteral("{1, 2}");
    withNul.insert(3, QChar(0));
    EXPECT_EQ(pointFromString(withNul), (Point{1, 2}));
}

TEST(RangeTest, HelpersAgreeAtTheEdges)
{
    const Range r{3, 5};
    EXPECT_EQ(r.end(), 8);
    EXPECT_TRUE(r.contains(3));
    EXPECT_FALSE(r.contains(8));
    EXPECT_TRUE(r.contains(Range{8, 0}));
    EXPECT_FALSE(r.contains(Range{7, 2}));
    EXPECT_EQ(r.intersection({6, 10}), (Range{6, 2}));
    EXPECT_EQ(r.intersection({8, 10}), Range());
    EXPECT_FALSE(r.intersects({0, 3}));
    EXPECT_EQ(r.united({10, 2}), (Range{3, 9}));
    EXPECT_EQ((Range{kNotFound, 5}).end(), kNotFound) << "end saturates instead of wrapping";

    // The document keeps a range only when it fits the text, with overflow-safe arithmetic.
    EXPECT_TRUE((Range{0, 12}).isWithinLength(12));
    EXPECT_FALSE((Range{10, 5}).isWithinLength(12));
    EXPECT_FALSE((Range{-1, 2}).isWithinLength(12));
    EXPECT_FALSE((Range{kNotFound, kNotFound}).isWithinLength(12));
    EXPECT_FALSE((Range{2, kNotFound}).isWithinLength(kNotFound));
}

TEST(RectTest, EdgesAndSetOperations)
{
    const Rect r(10, 20, 100, 50);
    EXPECT_EQ(r.maxX(), 110);
    EXPECT_EQ(r.midY(), 45);
    EXPECT_TRUE(r.contains(Point{10, 20}));
    EXPECT_FALSE(r.contains(Point{110, 30})) << "far edges are outside";
    EXPECT_TRUE(r.contains(Rect(10, 20, 100, 50)));
    EXPECT_EQ(r.intersection(Rect(100, 60, 50, 50)), Rect(100, 60, 10, 10));
    EXPECT_FALSE(r.intersects(Rect(110, 20, 5, 5)));
    EXPECT_EQ(r.united(Rect(0, 0, 5, 5)), Rect(0, 0, 110, 70));
    EXPECT_EQ(r.united(Rect(500, 500, 0, 10)), r) << "an empty rectangle adds nothing";
    EXPECT_EQ(r.insetBy(10, 5), Rect(20, 25, 80, 40));
    EXPECT_TRUE(r.insetBy(60, 0).isEmpty());
    EXPECT_EQ(r.offsetBy(-10, 5).origin, (Point{0, 25}));
    EXPECT_EQ(Rect(0.5, -0.5, 1.2, 1.0).integral(), Rect(0, -1, 2, 2));
    EXPECT_EQ(Rect(1, 1, -3, 4).integral(), Rect());
    EXPECT_TRUE(r.nearlyEquals(Rect(10.0004, 20, 100, 49.9996), 0.001));
    EXPECT_FALSE(r.nearlyEquals(Rect(10.01, 20, 100, 50), 0.001));

    const Rect broken(0, 0, std::nan(""), 10);
    EXPECT_TRUE(broken.isEmpty());
    EXPECT_FALSE(broken.isFinite());
    EXPECT_FALSE(broken.contains(Point{0, 0}));
    EXPECT_EQ(broken.integral(), Rect());
}
