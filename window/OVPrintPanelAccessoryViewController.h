#pragma once

#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/PlistValue.h"
#include "platform/text/MutableAttributedString.h"

#include <QColor>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>
#include <utility>
#include <vector>

class OVTextView;
class QLabel;
class QWidget;

// The adjustments that make a prompter script, usually large light text on a dark page, sensible on
// paper: no images, smaller fonts (every size mapped into a small band, their order kept), black
// text on white, no line spacing. Every change rebuilds the printed text from the text as it was
// when the accessory got the view, so adjustments can be switched on and off in any order; the
// choices are remembered.
class OVPrintPanelAccessoryViewController {
public:
    struct SummaryItem {
        QString name;
        QString description;
    };

    static inline const QString kHelpAnchor = QStringLiteral("PrintOptionsAnchor");

    static PlistDictionary initialDefaultsDictionary();
    // The small-font band from the settings: a size that is not a positive finite number reads as
    // the registered one, and a maximum below the minimum is swapped with it.
    static std::pair<double, double> smallFontPointSizeRange();

    // textView is the view being printed: a copy of the script, never the editor's own text.
    explicit OVPrintPanelAccessoryViewController(OVTextView* textView);
    ~OVPrintPanelAccessoryViewController();

    OVTextView* textView() const { return m_textView; }
    const AttributedString& originalAttributedString() const { return m_originalAttributedString; }
    const QColor& originalBackgroundColor() const { return m_originalBackgroundColor; }
    const QString& updateUUID() const { return m_updateUUID; }

    bool usePreviewPanelContentAdjustments() const { return m_usePreviewPanelContentAdjustments; }
    void setUsePreviewPanelContentAdjustments(bool flag);
    bool removeImagesFromDocument() const { return m_removeImagesFromDocument; }
    void setRemoveImagesFromDocument(bool flag);
    bool useSmallerFonts() const { return m_useSmallerFonts; }
    void setUseSmallerFonts(bool flag);
    bool useWhiteBackgroundAndBlackText() const { return m_useWhiteBackgroundAndBlackText; }
    void setUseWhiteBackgroundAndBlackText(bool flag);
    bool removeLineSpacing() const { return m_removeLineSpacing; }
    void setRemoveLineSpacing(bool flag);
    double previewPanelMagnification() const { return m_previewPanelMagnification; }
    bool previewPanelInversion() const { return m_previewPanelInversion; }

    // What the print sheet's summary line lists: four items, five when the talent content
    // adjustments are on (the preview-panel option first).
    std::vector<SummaryItem> localizedSummaryItems() const;
    QString summaryLine() const;

    static void helpButtonPressed();
    // The accessory's controls, made on first use as a child of parent, which owns them.
    QWidget* view(QWidget* parent);
    // Called whenever the printed text has been rebuilt: the preview follows it.
    void setPreviewUpdateHandler(std::function<void()> handler) { m_previewUpdate = std::move(handler); }

    void _updateTextView();
    void _triggerPreviewUpdate();
    void _updateTextViewAndUserDefaultsObject(const PlistValue& object, const QString& key);

private:
    void updateSummaryLabel();

    OVTextView* m_textView = nullptr;
    MutableAttributedString m_originalAttributedString;
    QColor m_originalBackgroundColor;
    QString m_updateUUID;
    bool m_usePreviewPanelContentAdjustments = false;
    bool m_removeImagesFromDocument = true;
    bool m_useSmallerFonts = true;
    bool m_useWhiteBackgroundAndBlackText = true;
    bool m_removeLineSpacing = true;
    double m_previewPanelMagnification = 1.0;
    bool m_previewPanelInversion = false;
    std::vector<NotificationObserver> m_observers;
    std::function<void()> m_previewUpdate;
    QPointer<QWidget> m_view;
    QPointer<QLabel> m_summaryLabel;
};
