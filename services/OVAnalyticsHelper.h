#pragma once

#include <QString>
#include <QVariant>
#include <QVariantList>
#include <QVariantMap>

#include <functional>
#include <optional>

class HVAnalytics;
class Screen;

// Turns the local statistics into records: the operator and talent screens the program prompted
// on, and the list of presentable statistics (profile dictionaries) the user can look at and may
// attach to a support request. Nothing here sends anything.
class OVAnalyticsHelper {
public:
    // Longest stored value of a profile dictionary, in characters (code points).
    static constexpr int kMaxProfileValueLength = 32;

    static void updateOperatorScreenAnalytics();
    static void updateTalentScreenAnalytics();
    // force: 0 records a screen in the role it has, 1 only as the operator's, 2 only as the talent's.
    static bool _updateAnalyticsForScreen(const std::optional<Screen>& screen, int forceSetScreen);

    // {"key", "displayKey", "value", "displayValue"}; a string value is cut to its first 32
    // characters, never inside a character, and the display value keeps it whole. Empty when the
    // key or the display key is missing.
    static QVariantMap profileDictionaryForKey(const QString& key, const QString& displayKey,
                                               const QVariant& value);
    static QVariantMap profileDictionaryForKey(const QString& key, const QString& displayKey,
                                               const QVariant& value, const QVariant& displayValue);
    // A string cut to at most count code points.
    static QString truncatedToCodePoints(const QString& text, int count);

    static QVariantList presentableAnalyticsItems();

    // The main graphics processor as the statistics show it. Linux tells no core count, so it is 0
    // and the memory is shown instead; tests install their own.
    struct Gpu {
        QString model;
        qint64 coreCount = 0;
        qint64 memoryBytes = 0;
    };
    static Gpu mainGPU();
    static void setMainGPUProvider(std::function<Gpu()> provider);
};
