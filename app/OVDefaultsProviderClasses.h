#pragma once

// The program's defaults providers that do not register themselves: the settings panes, the
// application delegate and the preview panel, whose windows nothing refers to yet (a static
// registration in their own files would not be linked), and the document classes.
class OVDefaultsProviderClasses {
public:
    // Adds them to the registry the framework's set-up reads; repeating it changes nothing.
    static void registerAll();
};
