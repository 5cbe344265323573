#pragma once

#include "platform/text/AttributedString.h"

#include <QString>

#include <optional>
#include <vector>

class QDate;
class QLocale;

// The short labelled statistics the about window shows ("App Launches: 12 since 3 Mar 2024").
class OVUserStats {
public:
    struct LabeledString {
        QString label;
        QString string;
        bool operator==(const LabeledString&) const = default;
    };

    enum Option : unsigned {
        kLaunchCount = 1,
        kLaunchCountSinceDate = 2,
        kTimeActive = 4,
        kTimePrompted = 8,
        kScrolled = 16,
        kBookmarkJumps = 32,
        kMarkedTextUses = 64,
        kHotKeyUses = 128,
        kDocumentsOpened = 256,
    };
    // What the about window asks for: every option but the bare launch count.
    static constexpr unsigned kAboutPanelOptions = 510;

    // Empty when the statistics store is off or nothing applies.
    static std::optional<std::vector<LabeledString>> labeledStringsWithOptions(unsigned options);
    // The statistics as lines "Label: string" in the given attributes, labels in bold; empty when
    // there are none.
    static AttributedString attributedStringWithOptions(unsigned options,
                                                        const AttributeDictionary& attributes = {});
    // The screen count shown for pixels scrolled on a first screen of that height; empty for a
    // screen without height (a display that reports none), where no count means anything.
    static std::optional<qint64> screensScrolled(double pixels, double firstScreenHeight);
    static QString localizedStatisticsTitle();
    // A date in the locale's medium style: month abbreviated, no weekday.
    static QString mediumDateString(const QDate& date, const QLocale& locale);
    // "2 hours, 5 minutes", "45 seconds".
    static QString localizedTimeStringFromDuration(double seconds);
};
