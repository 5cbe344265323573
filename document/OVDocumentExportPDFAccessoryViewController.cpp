#include "document/OVDocumentExportPDFAccessoryViewController.h"

#include "platform/foundation/UserDefaults.h"
#include "platform/hvkit/HVLocalizedString.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QWidget>

PlistDictionary OVDocumentExportPDFAccessoryViewController::initialDefaultsDictionary()
{
    PlistDictionary defaults;
    defaults.insert(OVExportPDFUsingPaginationKey, false);
    return defaults;
}

std::unique_ptr<QWidget> OVDocumentExportPDFAccessoryViewController::viewController()
{
    auto view = std::make_unique<QWidget>();
    view->setObjectName(QStringLiteral("DocumentExportPDFAccessoryView"));
    auto* layout = new QHBoxLayout(view.get());
    auto* paginate = new QCheckBox(HVLocalizedString::localizedString(
        QStringLiteral("document-export-pdf-use-pagination"), QStringLiteral("Split into pages")));
    paginate->setObjectName(QStringLiteral("exportPDFUsingPagination"));
    paginate->setChecked(UserDefaults::shared().boolForKey(OVExportPDFUsingPaginationKey));
    QObject::connect(paginate, &QCheckBox::toggled,
                     [](bool on) { UserDefaults::shared().setBool(on, OVExportPDFUsingPaginationKey); });
    layout->addWidget(paginate);
    layout->addStretch(1);
    return view;
}
