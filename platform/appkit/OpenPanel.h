#pragma once

#include "platform/appkit/SavePanel.h"

#include <QList>

// The panel that asks which files to open. Package directories are files here: they are chosen, not
// entered. Answered by the same answerer as save panels; an answerer calls chooseURLs.
class OpenPanel : public SavePanel {
public:
    bool allowsMultipleSelection() const { return m_allowsMultipleSelection; }
    void setAllowsMultipleSelection(bool flag) { m_allowsMultipleSelection = flag; }
    bool canChooseFiles() const { return m_canChooseFiles; }
    void setCanChooseFiles(bool flag) { m_canChooseFiles = flag; }
    bool canChooseDirectories() const { return m_canChooseDirectories; }
    void setCanChooseDirectories(bool flag) { m_canChooseDirectories = flag; }
    // Allowed extensions, without dots; empty allows every file.
    const QStringList& allowedExtensions() const { return m_allowedExtensions; }
    void setAllowedExtensions(const QStringList& extensions);

    const QList<QUrl>& URLs() const { return m_urls; }

    // Takes urls as the user's choice: each must exist, be a file or a package (or a folder when
    // folders may be chosen) and carry an allowed extension. False, choosing nothing, otherwise.
    bool chooseURLs(const QList<QUrl>& urls);
    bool chooseURL(const QUrl& url) override { return chooseURLs({url}); }

protected:
    bool isOpenPanel() const override { return true; }
    int runDialog(QWidget* parent) override;

private:
    bool isAcceptable(const QString& path) const;

    bool m_allowsMultipleSelection = false;
    bool m_canChooseFiles = true;
    bool m_canChooseDirectories = false;
    QStringList m_allowedExtensions;
    QList<QUrl> m_urls;
};
