#pragma once

class OVCore;

// Connects the bookmark controller and the script views' layout to the prompter: whether the core
// is prompting, prompt-mode jumps as scrolling deltas of the core (so the talent and preview follow),
// the focus arrow of the prompter around a text view, and the prompter's magnification. From then on
// the controller works on the script of the main prompter window. The program calls it once at
// start, with the shared core.
void installBookmarkControllerPrompterHost(OVCore& core);
