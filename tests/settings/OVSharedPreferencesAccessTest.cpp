#include "settings/OVSharedPreferencesAccess.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/hvkit/HVLogger.h"
#include "platform/text/AttributeNames.h"
#include "platform/text/MutableAttributedString.h"
#include "platform/text/TextAttachment.h"

#include <gtest/gtest.h>

namespace {

using Access = OVSharedPreferencesAccess;

const Color kIndigo = Color::rgb(88 / 255.0, 86 / 255.0, 214 / 255.0);

Font helvetica(double size)
{
    Font font;
    font.familyName = "Helvetica";
    font.fontName = "Helvetica";
    font.pointSize = size;
    return font;
}

AttributeDictionary styleAttributes(const Font& font, const Color& color, const ParagraphStyle& style = {})
{
    return {{kFontAttributeName, font},
            {kForegroundColorAttributeName, color},
            {kParagraphStyleAttributeName, style}};
}

QByteArray styleData(const AttributeDictionary& attributes, const Color& background)
{
    const AttributedString text("Script", attributes);
    return Access::styleDataFromAttributedString(&text, background).value_or(QByteArray());
}

// Counts one notification while it lives.
class NotificationCounter {
public:
    explicit NotificationCounter(const QString& name)
        : m_observer(NotificationCenter::shared(), name, nullptr, [this](const Notification&) { ++count; })
    {
    }
    int count = 0;

private:
    NotificationObserver m_observer;
};

// Every test starts from registered values only, as after a fresh install.
class OVSharedPreferencesAccessTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        UserDefaults& defaults = UserDefaults::shared();
        defaults.resetUserValues();
        PlistDictionary registered;
        registered.insert(kSpeedIncrementKey, 0.2);
        registered.insert(kMarkedTextUseHighlightPatternKey, false);
        registered.insert(kMarkedTextHighlightColorDataKey, KeyedArchiver::archivedData(ArchivedColor::rgb(
                                                                kIndigo.red, kIndigo.green, kIndigo.blue)));
        registered.insert(kDefaultDocumentStyleKey,
                          styleData(styleAttributes(helvetica(24), Color::gray(1)), Color::gray(0)));
        defaults.registerDefaults(registered);
        Access::triggerDefaultStyleUpdate();
    }
    void TearDown() override
    {
        HVLogger::restoreLogs();
        HVLogger::setSink({});
    }

    QStringList captureLogs()
    {
        HVLogger::setLogFilePath({});
        HVLogger::setSink([this](const QString& line) { logs << line; });
        HVLogger::redirectLogs();
        return {};
    }

    QStringList logs;
};

} // namespace

TEST_F(OVSharedPreferencesAccessTest, ToolbarStateIsOneTwoOrZero)
{
    EXPECT_EQ(Access::promptModeToolbarState(), 0u);
    Access::setPromptModeToolbarState(2);
    EXPECT_EQ(Access::promptModeToolbarState(), 2u);
    Access::setPromptModeToolbarState(3);
    EXPECT_EQ(UserDefaults::shared().integerForKey(kPromptModeToolbarStateKey), 0);
    UserDefaults::shared().setInteger(7, kPromptModeToolbarStateKey);
    EXPECT_EQ(Access::promptModeToolbarState(), 0u);
    UserDefaults::shared().setObject("1", kPromptModeToolbarStateKey);
    EXPECT_EQ(Access::promptModeToolbarState(), 0u);
    UserDefaults::shared().setDouble(1.5, kPromptModeToolbarStateKey);
    EXPECT_EQ(Access::promptModeToolbarState(), 0u);
}

TEST_F(OVSharedPreferencesAccessTest, SpeedIncrementAndMarkedTextOptions)
{
    EXPECT_DOUBLE_EQ(Access::speedIncrement(), 0.2);
    Access::setSpeedIncrement(0.5);
    EXPECT_DOUBLE_EQ(Access::speedIncrement(), 0.5);

    EXPECT_EQ(Access::markedTextOptions(), 0u);
    Access::setMarkedTextOptions(5);
    EXPECT_EQ(Access::markedTextOptions(), 5u);
    UserDefaults::shared().setObject("5", kMarkedTextOptionsKey);
    EXPECT_EQ(Access::markedTextOptions(), 0u);
}

TEST_F(OVSharedPreferencesAccessTest, ReadsTheRegisteredStyleWithItsBackground)
{
    const std::optional<AttributeDictionary> style = Access::defaultStyleAttributes();
    ASSERT_TRUE(style);
    EXPECT_EQ(style->value(kFontAttributeName).font()->pointSize, 24);
    EXPECT_FALSE(style->contains(NSBackgroundColorDocumentAttribute));

    const std::optional<AttributeDictionary> withDocument =
        Access::defaultStyleAttributesWithDocumentAttributes();
    ASSERT_TRUE(withDocument);
    const AttributeValue background = withDocument->value(NSBackgroundColorDocumentAttribute);
    ASSERT_NE(background.color(), nullptr);
    EXPECT_EQ(*background.color(), Color::rgb(0, 0, 0));
}

TEST_F(OVSharedPreferencesAccessTest, StoringAStyleNormalisesItAndPostsOnce)
{
    NotificationCounter posted(OVPreferencesGeneralDidChangeDefaultStyleNotification);
    ParagraphStyle paragraph;
    paragraph.lineHeightMultiple = 1.25;
    paragraph.headIndent = 36;
    paragraph.alignment = TextAlignment::Center;
    const QByteArray data =
        styleData(styleAttributes(helvetica(24.04), Color::rgb(1, 1, 1), paragraph), kIndigo);
    Access::setDefaultStyleData(data);
    EXPECT_EQ(posted.count, 1);

    const std::optional<AttributeDictionary> style = Access::defaultStyleAttributesWithDocumentAttributes();
    ASSERT_TRUE(style);
    EXPECT_DOUBLE_EQ(style->value(kFontAttributeName).font()->pointSize, 24);
    EXPECT_EQ(*style->value(kForegroundColorAttributeName).color(), Color::rgb(1, 1, 1));
    const AttributeValue storedValue = style->value(kParagraphStyleAttributeName);
    const ParagraphStyle* stored = storedValue.paragraphStyle();
    ASSERT_NE(stored, nullptr);
    EXPECT_DOUBLE_EQ(stored->lineHeightMultiple, 1.3);
    EXPECT_EQ(stored->alignment, TextAlignment::Center);
    EXPECT_EQ(stored->headIndent, 0);

    Access::setDefaultStyleData(UserDefaults::shared().dataForKey(kDefaultDocumentStyleKey));
    Access::setDefaultStyleData(data);
    EXPECT_EQ(posted.count, 1);
}

TEST_F(OVSharedPreferencesAccessTest, NearlyWhiteTextIsKept)
{
    Access::setDefaultStyleData(styleData(styleAttributes(helvetica(12), Color::rgb(0.999, 1, 1)), kIndigo));
    const std::optional<AttributeDictionary> style = Access::defaultStyleAttributes();
    ASSERT_TRUE(style);
    EXPECT_NEAR(style->value(kForegroundColorAttributeName).color()->red, 0.999, 1e-9);
}

TEST_F(OVSharedPreferencesAccessTest, StyleDataNeedsTextAColourAndNoAttachment)
{
    const AttributedString empty;
    EXPECT_FALSE(Access::styleDataFromAttributedString(&empty, kIndigo));
    const AttributedString text("x", styleAttributes(helvetica(12), kIndigo));
    EXPECT_FALSE(Access::styleDataFromAttributedString(&text, std::nullopt));
    EXPECT_FALSE(Access::styleDataFromAttributedString(nullptr, kIndigo));

    AttributeDictionary withAttachment = styleAttributes(helvetica(12), kIndigo);
    withAttachment.insert(kAttachmentAttributeName, std::make_shared<TextAttachment>());
    const AttributedString attached(QString(QChar(kAttachmentCharacter)), withAttachment);
    EXPECT_FALSE(Access::styleDataFromAttributedString(&attached, kIndigo));

    const AttributedString plain("x");
    EXPECT_FALSE(Access::styleDataFromAttributedString(&plain, kIndigo));
}

TEST_F(OVSharedPreferencesAccessTest, MissingStyleReadsAsNothingAndSaysWhyEveryTime)
{
    UserDefaults::shared().registerDefaults([] {
        PlistDictionary none;
        none.insert(kDefaultDocumentStyleKey, QByteArray());
        return none;
    }());
    Access::triggerDefaultStyleUpdate();
    captureLogs();
    EXPECT_FALSE(Access::defaultStyleAttributes());
    EXPECT_FALSE(Access::defaultStyleAttributesWithDocumentAttributes());
    EXPECT_FALSE(Access::defaultStyleAttributes());
    ASSERT_EQ(logs.size(), 3);
    EXPECT_TRUE(
        logs[0].contains("+[OVSharedPreferencesAccess _defaultStyleAttributesWithDocumentAttributes:] "
                         "attributedStringData is nil. Did you forget to set a requiredAttribute in "
                         "OVGeneralPreferencesViewController +initialDefaultsDictionary?"));
}

TEST_F(OVSharedPreferencesAccessTest, DamagedStyleDataIsRefusedAndLogged)
{
    captureLogs();
    const QByteArray before = UserDefaults::shared().dataForKey(kDefaultDocumentStyleKey);
    Access::setDefaultStyleData(QByteArray("not rtf at all"));
    EXPECT_EQ(UserDefaults::shared().dataForKey(kDefaultDocumentStyleKey), before);
    ASSERT_FALSE(logs.isEmpty());
    EXPECT_TRUE(logs[0].contains("+[OVSharedPreferencesAccess setDefaultStyleData:] error = "));
}

TEST_F(OVSharedPreferencesAccessTest, StyleWrittenByAnotherRouteReachesTheCaches)
{
    ASSERT_EQ(Access::defaultStyleAttributes()->value(kFontAttributeName).font()->pointSize, 24);
    NotificationCounter posted(OVPreferencesGeneralDidChangeDefaultStyleNotification);
    UserDefaults::shared().setObject(styleData(styleAttributes(helvetica(36), kIndigo), kIndigo),
                                     kDefaultDocumentStyleKey);
    EXPECT_EQ(Access::defaultStyleAttributes()->value(kFontAttributeName).font()->pointSize, 36);
    EXPECT_EQ(posted.count, 1);
}

TEST_F(OVSharedPreferencesAccessTest, MarkedTextColourResetsToTheRegisteredOne)
{
    NotificationCounter posted(OVPreferencesGeneralMarkedTextColorDidChangeNotification);
    ASSERT_TRUE(Access::markedTextColor());
    EXPECT_EQ(Access::markedTextColor()->color, kIndigo);
    EXPECT_EQ(Access::markedTextColor()->standardPattern, 0);

    Access::setMarkedTextColor(Color::rgb(1, 0, 0));
    EXPECT_EQ(Access::markedTextColor()->color, Color::rgb(1, 0, 0));
    EXPECT_EQ(*Access::plainMarkedTextColor(), Color::rgb(1, 0, 0));
    Access::setMarkedTextColor(std::nullopt);
    EXPECT_EQ(Access::markedTextColor()->color, kIndigo);
    EXPECT_EQ(posted.count, 2);
}

TEST_F(OVSharedPreferencesAccessTest, PatternSwitchTakesEffectAtOnce)
{
    ASSERT_EQ(Access::markedTextColor()->standardPattern, 0);
    NotificationCounter posted(OVPreferencesGeneralMarkedTextColorDidChangeNotification);
    UserDefaults::shared().setBool(true, kMarkedTextUseHighlightPatternKey);
    EXPECT_EQ(Access::markedTextColor()->standardPattern, Access::kMarkedTextStandardPattern);
    EXPECT_EQ(posted.count, 1);
}

TEST_F(OVSharedPreferencesAccessTest, ColourDataThatIsNotAColourCountsAsNone)
{
    UserDefaults::shared().setObject(KeyedArchiver::archivedData(ArchiveValue("text")),
                                     kMarkedTextHighlightColorDataKey);
    EXPECT_FALSE(Access::plainMarkedTextColor());
    UserDefaults::shared().setObject(QByteArray("garbage"), kMarkedTextHighlightColorDataKey);
    EXPECT_FALSE(Access::plainMarkedTextColor());
}
