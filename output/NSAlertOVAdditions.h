#pragma once

// Alerts for a program on air: centred on the operator screen, above a full-screen prompter.

class Alert;

namespace NSAlertOVAdditions {

// Centres the alert on the operator screen.
inline constexpr unsigned kCenterOnOperatorScreenOption = 1u << 0;

// Runs the alert above every window of the program, a full-screen prompter and its blocking windows
// included, after a beep; answers the button's code (1000, 1001, 1002 ...). The dialog runs its own
// event loop: nothing polls.
int runModalWithOptions(Alert& alert, unsigned options);

// The options alerts run with while the program is in Prompt mode: above everything, with a beep, on
// the operator screen. Installed on the platform's alerts at program start.
void installPromptModeAlertOptions();

} // namespace NSAlertOVAdditions
