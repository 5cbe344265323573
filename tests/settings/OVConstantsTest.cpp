#include "settings/OVConstants.h"
#include "platform/text/AttributeNames.h"

#include <gtest/gtest.h>

TEST(OVConstantsTest, QuickZoomScalesAscend)
{
    const QList<double> expected = {0.1, 0.125, 0.15, 0.2, 0.25, 1.0 / 3.0, 0.5, 2.0 / 3.0, 0.75};
    EXPECT_EQ(OVConstants::quickZoomScaleValues(), expected);
}

TEST(OVConstantsTest, NumberCharactersAreTheDigitsThenTheBackquote)
{
    const QList<quint16>& characters = OVConstants::numberCharactersArray();
    ASSERT_EQ(characters.size(), 11);
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(characters[i], 48 + i);
    EXPECT_EQ(characters[10], 96);
}

TEST(OVConstantsTest, PlainTextCarriesTheTextSystemsFont)
{
    const AttributeDictionary& attributes = OVConstants::defaultCocoaTextAttributes();
    const AttributeValue value = attributes.value(kFontAttributeName);
    const Font* font = value.font();
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(font->fontName, "Helvetica");
    EXPECT_EQ(font->pointSize, 12);
}

TEST(OVConstantsTest, HardwareProfilesLiveInTheCachesFolder)
{
    const QUrl url = OVConstants::downloadedHardwareProfilesURL();
    ASSERT_TRUE(url.isLocalFile());
    EXPECT_TRUE(url.toLocalFile().endsWith("/HardwareProfiles"));
}
