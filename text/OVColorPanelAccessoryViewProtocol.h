#pragma once

#include <functional>

class Responder;

// What a view answers to take part in the colour panel's accessory: which of the three colours it
// has (1 text, 2 highlight, 4 background), resetting them, and showing its colour for the option the
// accessory has selected. The participant is the focused responder that answers this and takes
// "changeColor:".
class OVColorPanelAccessoryViewProtocol {
public:
    enum Option : unsigned { TextColorOption = 1, HighlightColorOption = 2, BackgroundColorOption = 4 };
    // Text and highlight together, as a reset with Alt held asks.
    static constexpr unsigned kTextAndHighlightColorOptions = 3;

    virtual ~OVColorPanelAccessoryViewProtocol() = default;
    virtual unsigned supportedColorPanelOptionMask() const = 0;
    virtual void resetColorForColorPanelOption(unsigned option) = 0;
    virtual void updateColorPanelColorForSelectedOption() {}

    // The option the accessory has selected: what a colour change applies to. The accessory, which
    // lives above the text views, installs the answer; without it, the text colour.
    static unsigned selectedColorPanelOption();
    static void setSelectedOptionProvider(std::function<unsigned()> provider);
};

// A Qt widget that stands in the keyboard focus for a participant that is no widget of its own (the
// default-style sample in the settings).
class OVColorPanelAccessoryViewHost {
public:
    virtual ~OVColorPanelAccessoryViewHost() = default;
    virtual Responder* colorPanelParticipant() const = 0;
};
