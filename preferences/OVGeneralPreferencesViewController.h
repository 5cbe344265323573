#pragma once

#include "platform/foundation/PlistValue.h"
#include "platform/hvkit/HVSettingsViewController.h"
#include "platform/text/Color.h"
#include "platform/text/Font.h"

#include <QLocale>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

class HVDropView;
class OVDefaultStyleSampleHost;
class OVDefaultStyleTextView;
class OVMarkedTextColorWell;
class QCheckBox;
class QComboBox;
class QLabel;
class QMimeData;
class QPushButton;

inline const QString OVPreferencesGeneralDidChangeNormalizeParagraphIndentNotification =
    QStringLiteral("OVPreferencesGeneralDidChangeNormalizeParagraphIndentNotification");
inline const QString OVPreferencesGeneralDidChangePreventUnderlineColorsNotification =
    QStringLiteral("OVPreferencesGeneralDidChangePreventUnderlineColorsNotification");
inline const QString OVPreferencesGeneralAdjustDocumentsInDarkModeDidChangeNotification =
    QStringLiteral("OVPreferencesGeneralAdjustDocumentsInDarkModeDidChangeNotification");

// The General settings pane: the default document style, edited on a live sample, marked text,
// the plain-text encoding, the quick-zoom scale and the editing switches. Its notifications carry
// the pane as their object, except the default style's, which carries none.
class OVGeneralPreferencesViewController : public HVSettingsViewController {
public:
    static PlistDictionary initialDefaultsDictionary();

    // The font of the registered default style: Helvetica Neue at 100 points, else the first of
    // Helvetica and Verdana the system has, else the system's own font at that size.
    static Font defaultStyleFont(const QStringList& availableFamilies);

    // "<name>, <size>": a size that is whole at a tenth's precision shows no decimals.
    static QString defaultStyleDescription(const Font& font, const QLocale& locale = QLocale());
    // A value rounded to one decimal, half away from zero.
    static double roundedToTenths(double value);
    static QString tenthsTitle(double value, const QLocale& locale = QLocale());
    // A scale as a whole percentage, rounded down ("66%" for two thirds).
    static QString percentageTitle(double scale, const QLocale& locale = QLocale());

    // What hides or shows the script menus' "Remove Underline Colors" item and its separator.
    static void setUnderlineColorsInterface(std::function<void(bool hide)> update);

    explicit OVGeneralPreferencesViewController(QWidget* parent = nullptr,
                                                HVSettingsController* settingsController = nullptr);
    ~OVGeneralPreferencesViewController() override;

    OVDefaultStyleTextView& defaultStyleTextView() const;
    OVDefaultStyleSampleHost* defaultStyleScrollView() const { return m_sampleHost; }
    QLabel* defaultStyleDescriptionLabel() const { return m_descriptionLabel; }
    QLabel* defaultStyleLabel() const { return m_captionLabel; }
    QPushButton* fontButton() const { return m_fontButton; }
    QPushButton* colorButton() const { return m_colorButton; }
    QComboBox* textAlignmentButton() const { return m_alignmentButton; }
    QComboBox* lineSpacingButton() const { return m_lineSpacingButton; }
    OVMarkedTextColorWell* markedTextColorWell() const { return m_markedTextColorWell; }
    QCheckBox* markedTextClearOnTextChangeCheckbox() const { return m_clearOnTextChangeCheckbox; }
    QComboBox* encodingsButton() const { return m_encodingsButton; }
    QComboBox* quickZoomScalePopUpButton() const { return m_quickZoomButton; }
    const std::vector<QCheckBox*>& advancedCheckBoxes() const { return m_advancedCheckBoxes; }
    HVDropView* dropView() const { return m_dropView; }

    void settingsDidShow() override;
    void defaultsWillReset() override;
    void defaultsDidReset() override;

    // Actions.
    void textStyleDidChange();
    void textAlignmentChanged();
    void lineSpacingChanged();
    void activateFontPanelForDefaultStyleEditing();
    void activateColorPanelForDefaultStyleEditing();
    void markedTextColorChanged();
    // tag is one option bit; on says whether it is now set. A tag of 0 does nothing.
    void markedTextOptionsUIChanged(quint64 tag, bool on);
    void encodingSelectionChanged();
    void quickZoomScalePopUpChanged();
    void preventParagraphIndentsChanged();
    void preventUnderlineColorsChanged();
    void secondDisplayTracksEditsChanged();
    void adjustDocumentsInDarkModeChanged();
    void nameNewBookmarksChanged();
    // A drop on the sample: RTF, a colour (Alt makes it the page's) or a font. Malformed data
    // changes nothing and is logged.
    bool dropOccurredInDropView(HVDropView& view, const QMimeData& data, Qt::KeyboardModifiers modifiers);

private:
    void buildInterface();
    void styleDataDidUpdate();
    void __updateDefaultStyleTextView(bool updateText, bool updateLabel);
    void _updateTextAlignmentButton();
    void _updateLineSpacingButton();
    void _updateQuickZoomButton();
    void _updateEncodingButton();
    void _updateMarkedTextControls();
    void _updateUnderlineColorsUI();
    void layOutAdvancedCheckBoxes();
    void applyParagraphChange(const std::function<void(class ParagraphStyle&)>& change);
    void post(const QString& name, const void* object);

    OVDefaultStyleSampleHost* m_sampleHost = nullptr;
    QLabel* m_descriptionLabel = nullptr;
    QLabel* m_captionLabel = nullptr;
    QPushButton* m_fontButton = nullptr;
    QPushButton* m_colorButton = nullptr;
    QComboBox* m_alignmentButton = nullptr;
    QComboBox* m_lineSpacingButton = nullptr;
    OVMarkedTextColorWell* m_markedTextColorWell = nullptr;
    QCheckBox* m_clearOnTextChangeCheckbox = nullptr;
    std::vector<QCheckBox*> m_markedTextOptionBoxes;
    QComboBox* m_encodingsButton = nullptr;
    QComboBox* m_quickZoomButton = nullptr;
    std::vector<QCheckBox*> m_advancedCheckBoxes;
    HVDropView* m_dropView = nullptr;
    bool _isUpdatingDefaultStyleTextView = false;
};
