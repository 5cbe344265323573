#pragma once

#include "platform/foundation/Range.h"

#include <QString>

#include <memory>

class LayoutManager;

// Spelling on Hunspell, loaded at run time so the build needs no extra package: without the library or
// a dictionary (e.g. /usr/share/hunspell/en_US.dic) checking is simply unavailable. Grammar checking
// has no counterpart on Linux and is not offered.
class SpellChecker {
public:
    static SpellChecker& shared();
    ~SpellChecker();

    bool isAvailable() const;
    // The dictionary in use ("en_US"), empty when unavailable.
    QString language() const { return m_language; }
    // Loads a dictionary from aff and dic files; false when they or the library cannot be loaded.
    bool loadDictionary(const QString& affixPath, const QString& dictionaryPath);

    bool isWordMisspelled(const QString& word) const;
    // Marks misspelled words of the paragraphs range touches with the spelling state temporary
    // attribute, and clears it from the rest of those paragraphs.
    void markMisspellings(LayoutManager& layoutManager, const Range& range) const;

private:
    SpellChecker();
    struct Library;
    std::unique_ptr<Library> m_library;
    QString m_language;
};
