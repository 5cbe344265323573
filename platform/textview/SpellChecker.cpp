#include "platform/textview/SpellChecker.h"

#include "platform/textlayout/LayoutManager.h"

#include <QDir>
#include <QFileInfo>
#include <QLibrary>
#include <QLocale>
#include <QStringEncoder>
#include <QTextBoundaryFinder>

#include <optional>

struct SpellChecker::Library {
    using Create = void* (*)(const char*, const char*);
    using Destroy = void (*)(void*);
    using Spell = int (*)(void*, const char*);
    using Encoding = char* (*)(void*);

    QLibrary library;
    Create create = nullptr;
    Destroy destroy = nullptr;
    Spell spell = nullptr;
    void* handle = nullptr;
    // Dictionaries are in UTF-8 or an older single-byte encoding; words are given in the same.
    std::optional<QStringEncoder> encoder;

    ~Library()
    {
        if (handle && destroy)
            destroy(handle);
    }
};

namespace {

// Words longer than this are never real words; Hunspell would only spend time on them.
constexpr qsizetype kLongestWord = 100;

} // namespace

SpellChecker& SpellChecker::shared()
{
    static SpellChecker checker;
    return checker;
}

SpellChecker::SpellChecker()
{
    const QString locale = QLocale::system().name();
    const QStringList candidates{locale, QStringLiteral("en_US"), QStringLiteral("en_GB")};
    for (const QString& name : candidates) {
        const QString base = QStringLiteral("/usr/share/hunspell/") + name;
        if (loadDictionary(base + QStringLiteral(".aff"), base + QStringLiteral(".dic"))) {
            m_language = name;
            break;
        }
    }
}

SpellChecker::~SpellChecker() = default;

bool SpellChecker::loadDictionary(const QString& affixPath, const QString& dictionaryPath)
{
    if (!QFileInfo::exists(affixPath) || !QFileInfo::exists(dictionaryPath))
        return false;
    auto library = std::make_unique<Library>();
    for (const char* name : {"hunspell-1.7", "hunspell"}) {
        library->library.setFileNameAndVersion(QString::fromLatin1(name), 0);
        if (library->library.load())
            break;
    }
    if (!library->library.isLoaded())
        return false;
    library->create = reinterpret_cast<Library::Create>(library->library.resolve("Hunspell_create"));
    library->destroy = reinterpret_cast<Library::Destroy>(library->library.resolve("Hunspell_destroy"));
    library->spell = reinterpret_cast<Library::Spell>(library->library.resolve("Hunspell_spell"));
    if (!library->create || !library->destroy || !library->spell)
        return false;
    library->handle = library->create(QFile::encodeName(affixPath).constData(),
                                      QFile::encodeName(dictionaryPath).constData());
    if (!library->handle)
        return false;
    if (auto encoding =
            reinterpret_cast<Library::Encoding>(library->library.resolve("Hunspell_get_dic_encoding"))) {
        const QByteArray name = QByteArray(encoding(library->handle)).trimmed();
        QStringEncoder encoder(name.constData());
        if (encoder.isValid() && name.toUpper() != "UTF-8")
            library->encoder.emplace(std::move(encoder));
    }
    m_library = std::move(library);
    m_language = QFileInfo(dictionaryPath).completeBaseName();
    return true;
}

bool SpellChecker::isAvailable() const
{
    return m_library && m_library->handle;
}

bool SpellChecker::isWordMisspelled(const QString& word) const
{
    if (!isAvailable() || word.isEmpty() || word.size() > kLongestWord)
        return false;
    // Numbers and words with digits are not judged.
    for (QChar c : word)
        if (c.isDigit())
            return false;
    QByteArray encoded;
    if (m_library->encoder) {
        encoded = m_library->encoder->encode(word);
        // A word the dictionary's encoding cannot hold is not judged.
        if (m_library->encoder->hasError()) {
            m_library->encoder->resetState();
            return false;
        }
    } else {
        encoded = word.toUtf8();
    }
    return m_library->spell(m_library->handle, encoded.constData()) == 0;
}

void SpellChecker::markMisspellings(LayoutManager& layoutManager, const Range& range) const
{
    const TextStorage& storage = *layoutManager.textStorage();
    const Range paragraphs =
        storage.paragraphRange(range.intersection({0, storage.length()}).isEmpty()
                                   ? Range{std::clamp<qsizetype>(range.location, 0, storage.length()), 0}
                                   : range.intersection({0, storage.length()}));
    if (paragraphs.isEmpty())
        return;
    layoutManager.removeTemporaryAttribute(kSpellingStateAttributeName, paragraphs);
    if (!isAvailable())
        return;
    const QString text = storage.substring(paragraphs);
    QTextBoundaryFinder finder(QTextBoundaryFinder::Word, text);
    finder.setPosition(0);
    qsizetype start = finder.boundaryReasons() & QTextBoundaryFinder::StartOfItem ? 0 : -1;
    for (qsizetype position = finder.toNextBoundary(); position >= 0; position = finder.toNextBoundary()) {
        const auto reasons = finder.boundaryReasons();
        if (reasons & QTextBoundaryFinder::EndOfItem && start >= 0) {
            const QString word = text.mid(start, position - start);
            if (word.at(0).isLetter() && isWordMisspelled(word))
                layoutManager.addTemporaryAttribute(kSpellingStateAttributeName, kSpellingStateSpellingFlag,
                                                    {paragraphs.location + start, position - start});
            start = -1;
        }
        if (reasons & QTextBoundaryFinder::StartOfItem)
            start = position;
        if (position >= text.size())
            break;
    }
}
