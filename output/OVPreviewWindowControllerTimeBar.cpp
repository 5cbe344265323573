// The time bar's font and colour dialogs, which restyle the bar's time or title as the user picks.
#include "output/OVPreviewWindowController.h"

#include "platform/appkit/ColorPanel.h"

#include "platform/hvkit/HVFontManager.h"
#include "platform/hvkit/HVLocalizedString.h"
#include "prompter_view/OVTimeBar.h"
#include "prompter_view/OVTimeBarText.h"
#include "prompting/OVCore.h"

#include <QColorDialog>
#include <QFontDialog>
#include <QScreen>
#include <QSignalBlocker>
#include <QWidget>

#include <algorithm>

namespace {

QString localized(const char* key, const char* english)
{
    return HVLocalizedString::localizedString(QString::fromUtf8(key), QString::fromUtf8(english));
}

} // namespace

void OVPreviewWindowController::prepareForTimebar(OVTimeBar* timeBar, int action,
                                                  const AttributeDictionary& currentAttributes)
{
    Q_UNUSED(timeBar);
    if (!m_core.isModeEdit() || m_panel->alphaValue() != 1.0)
        return;
    setLastTimeBarAction(action);
    if (!m_fontDialog) {
        m_fontDialog = std::make_unique<QFontDialog>();
        m_fontDialog->setOptions(QFontDialog::NoButtons | QFontDialog::DontUseNativeDialog);
        QObject::connect(m_fontDialog.get(), &QFontDialog::currentFontChanged, m_fontDialog.get(),
                         [this](const QFont& font) { changeFont(font); });
        QObject::connect(m_fontDialog.get(), &QDialog::finished, m_fontDialog.get(),
                         [this] { endTimeBarAction(); });
    }
    const QString title = action == OVTimeBar::kTimeAttributesAction
                              ? localized("time-bar-set-time-font-and-color", "Set Time Font and Color")
                              : localized("time-bar-set-title-font-and-color", "Set Title Font and Color");
    m_fontDialog->setWindowTitle(title);
    // Colours come from the program's colour panel: the panel, key now, is what its changes go to.
    ColorPanel& colors = ColorPanel::shared();
    {
        // Showing the bar's own font and colour is no choice of the user's.
        const QSignalBlocker fontBlocker(m_fontDialog.get());
        if (const std::optional<Font> font = OVTimeBarText::fontOf(currentAttributes))
            m_fontDialog->setCurrentFont(HVFontManager::qtFont(*font));
        if (const std::optional<QColor> color = OVTimeBarText::colorOf(currentAttributes))
            colors.setColor(*color);
    }
    m_panel->orderFront();
    m_panel->makeKeyWindow();
    m_panel->makeFirstResponder(nullptr);
    if (!m_fontDialog->isVisible() && !colors.isVisible()) {
        // Beside the panel, one above the other, so neither hides the other or the preview.
        const QRect panel = m_panel->hostWidget()->frameGeometry();
        m_fontDialog->adjustSize();
        colors.window()->adjustSize();
        const int width = std::max(m_fontDialog->width(), colors.window()->width());
        const QRect screen = m_panel->hostWidget()->screen()->availableGeometry();
        const int left =
            panel.left() - width - 8 >= screen.left() ? panel.left() - width - 8 : panel.right() + 8;
        m_fontDialog->move(left, panel.top());
        colors.window()->move(left, panel.top() + m_fontDialog->frameGeometry().height() + 8);
    }
    m_fontDialog->show();
    colors.orderFront();
    m_fontDialog->raise();
}

bool OVPreviewWindowController::changeFont(const QFont& font)
{
    OVTimeBar* bar = OVTimeBar::actionableTimeBar();
    if (m_lastTimeBarAction == 0 || !bar)
        return false;
    // Qt 6.4 cannot ask a font for tabular digits; the bar lays its digits out as the font has them.
    bar->performAttributesAction(m_lastTimeBarAction, HVFontManager::modelFont(font), std::nullopt);
    return true;
}

bool OVPreviewWindowController::changeColor(const QColor& color)
{
    OVTimeBar* bar = OVTimeBar::actionableTimeBar();
    if (m_lastTimeBarAction == 0 || !bar || !color.isValid())
        return false;
    bar->performAttributesAction(m_lastTimeBarAction, std::nullopt, OVTimeBarText::color(color));
    return true;
}

void OVPreviewWindowController::endTimeBarAction()
{
    if (m_lastTimeBarAction == 0)
        return;
    setLastTimeBarAction(0);
    OVTimeBar::clearActionableTimeBar();
    // The font dialog styles time bars only: without a pending action it has nothing to do. The
    // colour panel serves every view and stays.
    if (m_fontDialog && m_fontDialog->isVisible())
        m_fontDialog->hide();
}
