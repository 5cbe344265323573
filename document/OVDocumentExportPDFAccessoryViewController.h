#pragma once

#include "platform/foundation/PlistValue.h"

#include <QString>

#include <QWidget>

#include <memory>

class QWidget;

// Bound to this default: the exported PDF is cut into pages; otherwise it is one continuous page.
inline const QString OVExportPDFUsingPaginationKey = QStringLiteral("exportPDFUsingPagination");

// The Export as PDF panel's accessory: one check box bound to the pagination default. It keeps no
// state of its own.
class OVDocumentExportPDFAccessoryViewController {
public:
    static PlistDictionary initialDefaultsDictionary();
    // A new accessory view for a save panel, which takes it over.
    static std::unique_ptr<QWidget> viewController();
};
