#include "document/OVColorPanelAccessoryViewController.h"

#include "document/OVColorPanelFirstResponderUpdater.h"
#include "platform/appkit/Application.h"
#include "platform/appkit/ColorPanel.h"
#include "platform/appkit/Responder.h"
#include "platform/hvkit/HVLocalizedString.h"
#include "text/OVColorPanelAccessoryViewProtocol.h"

#include <QApplication>
#include <QButtonGroup>
#include <QGridLayout>
#include <QRadioButton>
#include <QSizePolicy>
#include <QToolButton>

namespace {

constexpr std::array<unsigned, 3> kTags{1, 2, 4};

bool (*&optionKeyProvider())()
{
    static bool (*provider)() = nullptr;
    return provider;
}

bool optionKeyDown()
{
    if (optionKeyProvider())
        return optionKeyProvider()();
    return QGuiApplication::queryKeyboardModifiers() & Qt::AltModifier;
}

int slotOf(unsigned tag)
{
    for (size_t i = 0; i < kTags.size(); ++i)
        if (kTags[i] == tag)
            return int(i);
    return -1;
}

QString localized(const char* key, const char* english)
{
    return HVLocalizedString::localizedString(QString::fromLatin1(key), QString::fromUtf8(english));
}

OVColorPanelAccessoryViewProtocol* participant(Responder* responder)
{
    return dynamic_cast<OVColorPanelAccessoryViewProtocol*>(responder);
}

} // namespace

OVColorPanelAccessoryViewController&
OVColorPanelAccessoryViewController::sharedColorPanelAccessoryViewController()
{
    // Never destroyed: its view belongs to the colour panel once shown there.
    static auto* shared = new OVColorPanelAccessoryViewController;
    return *shared;
}

void OVColorPanelAccessoryViewController::setOptionKeyProvider(bool (*provider)())
{
    optionKeyProvider() = provider;
}

void OVColorPanelAccessoryViewController::installColorPanelAccessoryView()
{
    sharedColorPanelAccessoryViewController();
    OVColorPanelAccessoryViewProtocol::setSelectedOptionProvider(
        [] { return sharedColorPanelAccessoryViewController().selectedOption(); });
    // The participant takes the change, wherever the keyboard is; without one it goes along the
    // responder chain, as any action does.
    ColorPanel::shared().setChangeColorSender([](ColorPanel& panel) {
        Responder* target =
            OVColorPanelFirstResponderUpdater::sharedColorPanelFirstResponderUpdater().firstResponder();
        Application::shared().sendAction(ColorPanel::kChangeColorAction, target, QVariant::fromValue(&panel));
    });
    OVColorPanelFirstResponderUpdater::sharedColorPanelFirstResponderUpdater();
}

OVColorPanelAccessoryViewController::OVColorPanelAccessoryViewController()
{
    _initOVColorPanelAccessoryViewController();
}

OVColorPanelAccessoryViewController::~OVColorPanelAccessoryViewController() = default;

void OVColorPanelAccessoryViewController::_initOVColorPanelAccessoryViewController()
{
    m_view = new QWidget;
    m_view->setObjectName(QStringLiteral("ColorPanelAccessoryView"));
    auto* grid = new QGridLayout(m_view);
    grid->setContentsMargins(0, 4, 0, 0);
    m_optionMatrix = new QButtonGroup(m_view);
    m_optionMatrix->setExclusive(true);
    const std::array<QString, 3> titles{localized("color-panel-text", "Text"),
                                        localized("color-panel-highlight", "Highlight"),
                                        localized("color-panel-background", "Background")};
    const std::array<const char*, 3> optionNames{"textColorButtonCell", "highlightColorButtonCell",
                                                 "backgroundColorButtonCell"};
    const std::array<const char*, 3> resetNames{"resetTextColorButtonCell", "resetHighlightColorButtonCell",
                                                "resetBackgroundColorButtonCell"};
    for (size_t i = 0; i < kTags.size(); ++i) {
        auto* option = new QRadioButton(titles[i], m_view);
        option->setObjectName(QString::fromLatin1(optionNames[i]));
        // The keyboard stays with the view whose colours the panel sets.
        option->setFocusPolicy(Qt::NoFocus);
        m_optionMatrix->addButton(option, int(kTags[i]));
        grid->addWidget(option, 0, int(i));
        m_optionButtons[i] = option;
        auto* reset = new QToolButton(m_view);
        reset->setObjectName(QString::fromLatin1(resetNames[i]));
        reset->setText(localized("color-panel-reset", "Reset"));
        reset->setToolTip(
            localized("color-panel-reset-tooltip", "Reset the colour; with Alt, text and highlight"));
        reset->setFocusPolicy(Qt::NoFocus);
        // Hidden buttons keep their place, so the row does not jump as the option changes.
        QSizePolicy policy = reset->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        reset->setSizePolicy(policy);
        const unsigned tag = kTags[i];
        QObject::connect(reset, &QToolButton::clicked, m_view, [this, tag] { resetSelectedColor(tag); });
        grid->addWidget(reset, 1, int(i), Qt::AlignHCenter);
        m_resetButtons[i] = reset;
    }
    QObject::connect(m_optionMatrix, &QButtonGroup::idClicked, m_view,
                     [this](int id) { setSelectedOption(unsigned(id)); });
    m_selectedOption = 0;
    setSelectedOption(1);
    m_enabled = false;
    setEnabled(true);
    _updateResetCellVisibility();
}

QAbstractButton* OVColorPanelAccessoryViewController::optionButton(unsigned tag) const
{
    const int slot = slotOf(tag);
    return slot < 0 ? nullptr : m_optionButtons[size_t(slot)];
}

QToolButton* OVColorPanelAccessoryViewController::resetButton(unsigned tag) const
{
    const int slot = slotOf(tag);
    return slot < 0 ? nullptr : m_resetButtons[size_t(slot)];
}

void OVColorPanelAccessoryViewController::setSelectedOption(unsigned option)
{
    if (slotOf(option) < 0 || option == m_selectedOption)
        return;
    m_selectedOption = option;
    if (QAbstractButton* button = optionButton(option); button && !button->isChecked())
        button->setChecked(true);
    selectedOptionChanged();
}

void OVColorPanelAccessoryViewController::selectedOptionChanged()
{
    if (m_suppressOptionChange)
        return;
    _updateResetCellVisibility();
    _updateColorPanelForSelectedOptionChange();
}

void OVColorPanelAccessoryViewController::setEnabled(bool flag)
{
    if (flag == m_enabled)
        return;
    m_enabled = flag;
    enabledChanged();
}

void OVColorPanelAccessoryViewController::enabledChanged()
{
    // Enabled, every option is open until the participant's mask narrows them.
    for (QAbstractButton* button : m_optionButtons)
        button->setEnabled(m_enabled);
    for (QToolButton* button : m_resetButtons)
        button->setEnabled(m_enabled);
    if (!m_enabled)
        setSelectedOption(1);
}

void OVColorPanelAccessoryViewController::_updateResetCellVisibility()
{
    for (size_t i = 0; i < kTags.size(); ++i)
        m_resetButtons[i]->setVisible(kTags[i] == m_selectedOption);
}

void OVColorPanelAccessoryViewController::_updateColorPanelForSelectedOptionChange()
{
    Responder* responder =
        OVColorPanelFirstResponderUpdater::sharedColorPanelFirstResponderUpdater().firstResponder();
    if (OVColorPanelAccessoryViewProtocol* target = participant(responder))
        target->updateColorPanelColorForSelectedOption();
}

void OVColorPanelAccessoryViewController::selectTextColorOption()
{
    setSelectedOption(1);
    OVColorPanelFirstResponderUpdater::sharedColorPanelFirstResponderUpdater()
        .updateColorPanelBeforeShowing();
    ColorPanel::shared().orderFront();
}

void OVColorPanelAccessoryViewController::selectBackgroundColorOption()
{
    setSelectedOption(4);
    OVColorPanelFirstResponderUpdater::sharedColorPanelFirstResponderUpdater()
        .updateColorPanelBeforeShowing();
    ColorPanel::shared().orderFront();
}

void OVColorPanelAccessoryViewController::resetSelectedColor(unsigned tag)
{
    unsigned option = tag != 0 ? tag : m_selectedOption;
    if (optionKeyDown() && (option == 1 || option == 2))
        option = OVColorPanelAccessoryViewProtocol::kTextAndHighlightColorOptions;
    Responder* responder =
        OVColorPanelFirstResponderUpdater::sharedColorPanelFirstResponderUpdater().firstResponder();
    if (OVColorPanelAccessoryViewProtocol* target = participant(responder))
        target->resetColorForColorPanelOption(option);
}

void OVColorPanelAccessoryViewController::enableButtonCellsForSupportedColorPanelOptionMask(unsigned mask)
{
    m_suppressOptionChange = true;
    for (size_t i = 0; i < kTags.size(); ++i)
        m_optionButtons[i]->setEnabled(m_enabled && (mask & kTags[i]) != 0);
    if (!(mask & m_selectedOption)) {
        // The highlight is a background colour: a view without it offers its page colour first.
        const std::array<unsigned, 3> order =
            m_selectedOption == 2 ? std::array<unsigned, 3>{4, 1, 2} : std::array<unsigned, 3>{1, 4, 2};
        unsigned replacement = 1;
        for (unsigned candidate : order) {
            if (mask & candidate) {
                replacement = candidate;
                break;
            }
        }
        setSelectedOption(replacement);
    }
    _updateResetCellVisibility();
    m_suppressOptionChange = false;
}
