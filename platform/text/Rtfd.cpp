#include "platform/text/Rtfd.h"

#include "platform/foundation/FileWrapper.h"
#include "platform/text/MutableAttributedString.h"
#include "platform/text/RtfReader.h"
#include "platform/text/RtfWriter.h"

#include <QtEndian>

namespace {

constexpr QByteArrayView kMagic = "rtfd";
constexpr quint32 kVersion = 3;

Error corrupt(const QString& reason, const QUrl& url = {})
{
    return Error::cocoa(kFileReadCorruptFileError, url, reason);
}

void appendWord(QByteArray& out, quint32 value)
{
    char bytes[4];
    qToLittleEndian(value, bytes);
    out.append(bytes, 4);
}

// Reads little-endian words and byte strings, refusing anything past the end.
class StreamReader {
public:
    explicit StreamReader(QByteArrayView data) : m_data(data) {}

    bool word(quint32& value)
    {
        if (m_data.size() - m_pos < 4)
            return false;
        value = qFromLittleEndian<quint32>(m_data.data() + m_pos);
        m_pos += 4;
        return true;
    }

    bool bytes(quint32 length, QByteArrayView& out)
    {
        if (quint64(m_data.size() - m_pos) < length)
            return false;
        out = m_data.sliced(m_pos, qsizetype(length));
        m_pos += qsizetype(length);
        return true;
    }

    qsizetype remaining() const { return m_data.size() - m_pos; }

private:
    QByteArrayView m_data;
    qsizetype m_pos = 0;
};

} // namespace

std::shared_ptr<FileWrapper> Rtfd::fileWrapper(const AttributedString& text,
                                               const DocumentAttributes& documentAttributes)
{
    auto directory = FileWrapper::makeDirectory();
    // The text file's name is taken first, so no attachment can claim it.
    const QString textKey = directory->addRegularFile(QByteArray(), kTextFileName);
    const QByteArray rtf = RtfWriter::write(text, documentAttributes, *directory);
    directory->removeFileWrapper(textKey);
    directory->addRegularFile(rtf, kTextFileName);
    return directory;
}

bool Rtfd::read(const FileWrapper& directory, MutableAttributedString& text,
                DocumentAttributes* documentAttributes, Error* error)
{
    if (!directory.isDirectory()) {
        setError(error, corrupt(QStringLiteral("An RTFD document must be a directory.")));
        return false;
    }
    const auto it = directory.fileWrappers().find(kTextFileName);
    if (it == directory.fileWrappers().end() || !it.value() || !it.value()->isRegularFile()) {
        setError(error, corrupt(QStringLiteral("The RTFD document has no text file.")));
        return false;
    }
    if (!RtfReader::read(it.value()->regularFileContents(), text, documentAttributes, error, &directory))
        return false;
    if (documentAttributes)
        documentAttributes->insert(NSDocumentTypeDocumentAttribute, NSRTFDTextDocumentType);
    return true;
}

bool Rtfd::readFromURL(const QUrl& url, MutableAttributedString& text, DocumentAttributes* documentAttributes,
                       Error* error)
{
    const auto directory = FileWrapper::readFromURL(url, error);
    if (!directory)
        return false;
    if (!read(*directory, text, documentAttributes, error)) {
        if (error && error->fileURL().isEmpty())
            error->setUserInfoValue(kURLErrorKey, url);
        return false;
    }
    return true;
}

bool Rtfd::writeToURL(const QUrl& url, const AttributedString& text,
                      const DocumentAttributes& documentAttributes, Error* error)
{
    const auto directory = fileWrapper(text, documentAttributes);
    return directory->writeToURL(url, FileWrapper::WritingAtomic, QUrl(), error);
}

QByteArray Rtfd::data(const AttributedString& text, const DocumentAttributes& documentAttributes)
{
    return serialize(*fileWrapper(text, documentAttributes));
}

bool Rtfd::readData(QByteArrayView data, MutableAttributedString& text,
                    DocumentAttributes* documentAttributes, Error* error)
{
    const auto directory = deserialize(data, error);
    return directory && read(*directory, text, documentAttributes, error);
}

QByteArray Rtfd::serialize(const FileWrapper& directory)
{
    QList<QString> names;
    QList<QByteArray> contents;
    // The text file first, then the attachments in name order: the same directory gives the same bytes.
    const auto& children = directory.fileWrappers();
    if (const auto it = children.find(kTextFileName); it != children.end() && it.value()->isRegularFile()) {
        names.append(kTextFileName);
        contents.append(it.value()->regularFileContents());
    }
    for (auto it = children.cbegin(); it != children.cend(); ++it) {
        if (it.key() == kTextFileName || !it.value()->isRegularFile())
            continue;
        names.append(it.key());
        contents.append(it.value()->regularFileContents());
    }
    QByteArray out(kMagic.data(), kMagic.size());
    appendWord(out, kVersion);
    appendWord(out, quint32(names.size()));
    QList<QByteArray> encodedNames;
    for (const QString& name : names) {
        encodedNames.append(name.toUtf8());
        appendWord(out, quint32(encodedNames.back().size()));
    }
    for (const QByteArray& name : encodedNames)
        out.append(name);
    for (const QByteArray& content : contents)
        appendWord(out, quint32(content.size()));
    for (const QByteArray& content : contents)
        out.append(content);
    return out;
}

std::shared_ptr<FileWrapper> Rtfd::deserialize(QByteArrayView data, Error* error)
{
    if (!data.startsWith(kMagic)) {
        setError(error, corrupt(QStringLiteral("The data is not an RTFD stream.")));
        return nullptr;
    }
    StreamReader reader(data.sliced(kMagic.size()));
    quint32 version = 0;
    quint32 count = 0;
    // Every entry needs at least two length words, which bounds the count by the data's size before
    // anything is allocated for it.
    if (!reader.word(version) || version != kVersion || !reader.word(count) ||
        quint64(count) * 8 > quint64(reader.remaining())) {
        setError(error, corrupt(QStringLiteral("The RTFD stream is damaged.")));
        return nullptr;
    }
    std::vector<quint32> nameLengths(count);
    for (quint32& length : nameLengths) {
        if (!reader.word(length)) {
            setError(error, corrupt(QStringLiteral("The RTFD stream is damaged.")));
            return nullptr;
        }
    }
    std::vector<QByteArrayView> names(count);
    for (quint32 i = 0; i < count; ++i) {
        if (!reader.bytes(nameLengths[i], names[i])) {
            setError(error, corrupt(QStringLiteral("The RTFD stream is damaged.")));
            return nullptr;
        }
    }
    std::vector<quint32> contentLengths(count);
    for (quint32& length : contentLengths) {
        if (!reader.word(length)) {
            setError(error, corrupt(QStringLiteral("The RTFD stream is damaged.")));
            return nullptr;
        }
    }
    auto directory = FileWrapper::makeDirectory();
    for (quint32 i = 0; i < count; ++i) {
        QByteArrayView contents;
        if (!reader.bytes(contentLengths[i], contents)) {
            setError(error, corrupt(QStringLiteral("The RTFD stream is damaged.")));
            return nullptr;
        }
        const QString name = QString::fromUtf8(names[i]);
        // A name that could not be a file of the directory ("..", "a/b") cannot be what an
        // attachment group names either: leave it out rather than let it reach anything.
        if (!FileWrapper::isValidFilename(name) || directory->fileWrappers().contains(name))
            continue;
        auto file = FileWrapper::makeRegularFile(contents.toByteArray());
        file->setPreferredFilename(name);
        directory->addFileWrapper(file);
    }
    return directory;
}
