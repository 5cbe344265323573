#include "platform/appkit/AppKitLog.h"

Q_LOGGING_CATEGORY(lcAppKit, "orvane.appkit")
