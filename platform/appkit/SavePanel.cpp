#include "platform/appkit/SavePanel.h"

#include "platform/appkit/Alert.h"
#include "platform/appkit/AppKitNotifications.h"
#include "platform/appkit/FloatingWindows.h"
#include "platform/appkit/PackageFileDialog.h"
#include "platform/appkit/UniformTypeRegistry.h"
#include "platform/appkit/Window.h"
#include "platform/foundation/NotificationCenter.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QPointer>

namespace {

SavePanel::Answerer& answerer()
{
    static SavePanel::Answerer instance;
    return instance;
}

QString nameFilterFor(const SavePanel::FileType& type)
{
    QStringList patterns;
    for (const QString& extension : type.extensions)
        patterns << QStringLiteral("*.") + extension;
    if (patterns.isEmpty())
        patterns << QStringLiteral("*");
    return QStringLiteral("%1 (%2)").arg(type.name.isEmpty() ? type.identifier : type.name,
                                         patterns.join(u' '));
}

bool confirmReplacing(const QFileInfo& existing)
{
    auto alert = Alert::alertWithTitle(
        QStringLiteral("“%1” already exists. Do you want to replace it?").arg(existing.fileName()),
        QStringLiteral("A file or folder with the same name already exists in the folder %1. "
                       "Replacing it will overwrite its current contents.")
            .arg(existing.dir().dirName()),
        {QStringLiteral("Replace"), QStringLiteral("Cancel")});
    return alert->runModal() == Alert::kFirstButtonReturn;
}

} // namespace

SavePanel::SavePanel() = default;
SavePanel::~SavePanel() = default;

void SavePanel::setFileTypes(std::vector<FileType> types)
{
    m_fileTypes = std::move(types);
    m_selectedType = 0;
}

QString SavePanel::selectedFileType() const
{
    if (m_fileTypes.empty())
        return {};
    return m_fileTypes[size_t(m_selectedType)].identifier;
}

bool SavePanel::setSelectedFileType(const QString& identifier)
{
    for (size_t i = 0; i < m_fileTypes.size(); ++i) {
        if (m_fileTypes[i].identifier == identifier) {
            m_selectedType = int(i);
            return true;
        }
    }
    return false;
}

void SavePanel::setAccessoryView(std::unique_ptr<QWidget> view)
{
    m_accessoryView = std::move(view);
}

bool SavePanel::isPackagePath(const QString& path)
{
    const QFileInfo info(path);
    if (!info.isDir())
        return false;
    const QString extension = info.suffix();
    if (extension.isEmpty())
        return false;
    const UniformTypeRegistry& registry = UniformTypeRegistry::shared();
    return registry.isPackageType(registry.typeForExtension(extension, true));
}

bool SavePanel::chooseURL(const QUrl& url)
{
    if (!url.isLocalFile())
        return false;
    QString path = QDir::cleanPath(url.toLocalFile());
    QFileInfo info(path);
    if (info.fileName().isEmpty())
        return false;
    if (!m_fileTypes.empty()) {
        // A name typed with another offered type's extension picks that type, as the pop-up would.
        for (size_t i = 0; i < m_fileTypes.size() && !info.suffix().isEmpty(); ++i) {
            const QStringList& other = m_fileTypes[i].extensions;
            if (int(i) != m_selectedType && other.contains(info.suffix(), Qt::CaseInsensitive) &&
                !m_fileTypes[size_t(m_selectedType)].extensions.contains(info.suffix(),
                                                                         Qt::CaseInsensitive)) {
                m_selectedType = int(i);
                if (m_typeChanged)
                    m_typeChanged(m_fileTypes[i].identifier);
                break;
            }
        }
        const QStringList& extensions = m_fileTypes[size_t(m_selectedType)].extensions;
        if (!extensions.isEmpty() && !extensions.contains(info.suffix(), Qt::CaseInsensitive)) {
            path += u'.' + extensions.first();
            info = QFileInfo(path);
        }
    }
    if (info.isDir() && !isPackagePath(path))
        return false;
    if (info.exists() || info.isSymLink()) {
        if (!confirmReplacing(info))
            return false;
    }
    m_url = QUrl::fromLocalFile(path);
    m_directory = QUrl::fromLocalFile(info.absolutePath());
    m_name = info.fileName();
    return true;
}

void SavePanel::setAnswerer(Answerer newAnswerer)
{
    answerer() = std::move(newAnswerer);
}

bool SavePanel::hasAnswerer()
{
    return bool(answerer());
}

int SavePanel::answer()
{
    m_url.clear();
    Answerer current = answerer();
    const int response = current(*this);
    if (response == kModalResponseOK && m_url.isEmpty())
        return kModalResponseCancel;
    return response;
}

int SavePanel::runModal()
{
    if (answerer())
        return answer();
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return kModalResponseCancel;
    return runDialog(nullptr);
}

void SavePanel::beginSheetModalForWindow(Window* window, std::function<void(int)> completion)
{
    // As for any sheet, observers may first move the window where the user will see the panel.
    if (window)
        NotificationCenter::shared().postNotification(kWindowWillBeginSheetNotification, window);
    // Qt's window-modal file dialog blocks only its parent, which is what a sheet needs; it runs in
    // its own loop here so callers get the same order of events with and without an answerer.
    int response = kModalResponseCancel;
    if (answerer())
        response = answer();
    else if (qobject_cast<QApplication*>(QCoreApplication::instance()))
        response = runDialog(window ? window->hostWidget() : nullptr);
    if (completion)
        completion(response);
}

int SavePanel::runDialog(QWidget* parent)
{
    PackageFileDialog dialog(parent);
    if (parent)
        dialog.setWindowModality(Qt::WindowModal);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    if (!m_title.isEmpty())
        dialog.setWindowTitle(m_title);
    if (!m_prompt.isEmpty())
        dialog.setLabelText(QFileDialog::Accept, m_prompt);
    if (!m_canCreateDirectories)
        dialog.setOption(QFileDialog::ReadOnly);
    if (m_directory.isLocalFile())
        dialog.setDirectory(m_directory.toLocalFile());
    QStringList filters;
    for (const FileType& type : m_fileTypes)
        filters << nameFilterFor(type);
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters);
        dialog.selectNameFilter(filters[m_selectedType]);
        dialog.setDefaultSuffix(m_fileTypes[size_t(m_selectedType)].extensions.value(0));
    }
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                     [this, &dialog, filters](const QString& filter) {
                         const qsizetype index = filters.indexOf(filter);
                         if (index < 0)
                             return;
                         m_selectedType = int(index);
                         dialog.setDefaultSuffix(m_fileTypes[size_t(index)].extensions.value(0));
                         if (m_typeChanged)
                             m_typeChanged(m_fileTypes[size_t(index)].identifier);
                     });
    if (!m_name.isEmpty())
        dialog.selectFile(m_name);
    if (m_accessoryView) {
        if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout()))
            grid->addWidget(m_accessoryView.get(), grid->rowCount(), 0, 1, grid->columnCount());
    }
    dialog.setChoiceCheck([this](const QStringList& paths) {
        return !paths.isEmpty() && chooseURL(QUrl::fromLocalFile(paths.first()));
    });
    FloatingWindows::openAbove(dialog);
    const int result = dialog.exec();
    if (m_accessoryView)
        m_accessoryView->setParent(nullptr);
    return result == QDialog::Accepted ? kModalResponseOK : kModalResponseCancel;
}

SavePanelAnswererScope::SavePanelAnswererScope(SavePanel::Answerer newAnswerer) : m_previous(answerer())
{
    SavePanel::setAnswerer(std::move(newAnswerer));
}

SavePanelAnswererScope::~SavePanelAnswererScope()
{
    SavePanel::setAnswerer(std::move(m_previous));
}
