#include "app/OVTextSystemAdditions.h"

#include "app/OVAppDelegate.h"
#include "app/OVInstanceBus.h"
#include "app/OVProgramStart.h"
#include "document/NSCursorOVAdditions.h"
#include "document/NSMutableAttributedStringOVAppleBugWorkaroundAdditions.h"
#include "document/OVTextTransactionLogger.h"
#include "platform/appkit/Window.h"
#include "platform/hvkit/HVVersion.h"
#include "text/OVTextView.h"
#include "window/OVDocumentWindowController.h"

#include <QCoreApplication>

namespace OVTextSystemAdditions {

void install()
{
    using Switch = OVProgramStart::Switch;
    OVProgramStart::setSwitch(Switch::FixAttachmentAppleBugWorkaround, [] {
        NSMutableAttributedStringOVAppleBugWorkaroundAdditions::toggleFixAttachmentAppleBugWorkaround();
    });
    OVProgramStart::setSwitch(Switch::FixParagraphStyleAppleBugWorkaround, [] {
        NSMutableAttributedStringOVAppleBugWorkaroundAdditions::toggleFixParagraphStyleAppleBugWorkaround();
    });
    OVProgramStart::setSwitch(Switch::BetterIBeamCursor,
                              [] { NSCursorOVAdditions::toggleBetterIBeamCursor(); });

    OVTextTransactionLogger::Environment& environment = OVTextTransactionLogger::environment();
    environment.bundleIdentifier = QString::fromLatin1(OVInstanceBus::kApplicationId);
    environment.version = HVVersion::appVersion().stringValue();
    environment.supportEmailAddress =
        OVAppDelegate::makeApplicationAddresses(HVVersion::appVersion().isPrereleaseType())
            .contactSupportEmailAddress;
    // Only a script's own text view records its edits; the settings' sample views and others do not.
    OVTextView::setTextTransactionLoggerFactory(
        [](OVTextView& view) -> std::unique_ptr<OVTextTransactionLogging> {
            Window* window = view.window();
            if (!window || !dynamic_cast<OVDocumentWindowController*>(window->windowController()))
                return nullptr;
            return std::make_unique<OVTextTransactionLogger>();
        });
}

} // namespace OVTextSystemAdditions
