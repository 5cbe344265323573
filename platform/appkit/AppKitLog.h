#pragma once

#include <QLoggingCategory>

// Messages of the platform layer: refused values, missing facilities.
Q_DECLARE_LOGGING_CATEGORY(lcAppKit)
