#pragma once

#include <QString>
#include <QStringList>

// What a PDF says about itself in its document information and its XMP packet. Empty values are
// left out.
struct HVPDFMetadata {
    QString author;
    QString subject;
    // Written joined by ", ".
    QStringList keywords;
    QString creatingApplication;
};
