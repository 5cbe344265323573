#pragma once

// The text system's additions the program's start puts in place: the attachment fix-up and the other
// workaround switches, and the edit diagnostics of script windows.
namespace OVTextSystemAdditions {

// Installs the switches with the program start and the diagnostics recorder of script text views.
void install();

} // namespace OVTextSystemAdditions
