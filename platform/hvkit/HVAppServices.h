#pragma once

#include "platform/hvkit/HVAnalytics.h"

#include <memory>
#include <optional>

// What the shared application object offers that needs no window: the statistics store and
// whether this version is still supported. The application object hands these out as its own.
class HVAppServices {
public:
    static HVAppServices& shared();

    // The store in the application's data folder, read on first use.
    HVAnalytics& analytics();

    // A version past its unsupported date is unsupported; without a date it is supported.
    bool isUnsupported() const;
    std::optional<double> unsupportedDate() const { return m_unsupportedDate; }
    // Seconds since the reference date, as the shared clock counts.
    void setUnsupportedDate(std::optional<double> date) { m_unsupportedDate = date; }

private:
    HVAppServices() = default;

    std::unique_ptr<HVAnalytics> m_analytics;
    std::optional<double> m_unsupportedDate;
};
