#pragma once

#include <array>
#include <cstdint>
#include <iterator>
#include <string_view>

// The control words the RTF reader knows, each with a small number of its own, so that the reader
// dispatches on a switch instead of comparing a word with two hundred names: a script has a control
// word every few characters. Numbers are the words' places in kNames; 0 is every word not listed.
namespace RtfControlWords {

inline constexpr std::string_view kNames[] = {
    "",
    "aftnsep",
    "aftnsepc",
    "annotation",
    "ansi",
    "ansicpg",
    "atnauthor",
    "atnid",
    "author",
    "b",
    "background",
    "bkmkend",
    "bkmkstart",
    "blipuid",
    "blue",
    "bullet",
    "c",
    "caps",
    "cb",
    "cell",
    "cf",
    "chcbpat",
    "colorschememapping",
    "colortbl",
    "company",
    "copyright",
    "creatim",
    "csdevicergb",
    "csgenericrgb",
    "csgray",
    "cssrgb",
    "datastore",
    "deff",
    "dn",
    "doccomm",
    "docvar",
    "dy",
    "emdash",
    "emspace",
    "endash",
    "enspace",
    "expandedcolortbl",
    "expnd",
    "expndtw",
    "f",
    "fcharset",
    "fi",
    "field",
    "fldinst",
    "fldrslt",
    "fldtype",
    "fmodern",
    "fonttbl",
    "footer",
    "footerf",
    "footerl",
    "footerr",
    "footnote",
    "fs",
    "ftnsep",
    "ftnsepc",
    "generator",
    "green",
    "header",
    "headerf",
    "headerl",
    "headerr",
    "height",
    "highlight",
    "hr",
    "i",
    "info",
    "jpegblip",
    "kerning",
    "keywords",
    "latentstyles",
    "ldblquote",
    "li",
    "line",
    "listoverridetable",
    "listtable",
    "lquote",
    "ltrmark",
    "ltrpar",
    "mac",
    "margb",
    "margl",
    "margr",
    "margt",
    "min",
    "mmathPr",
    "mo",
    "NeXTGraphic",
    "nonshppict",
    "nosupersub",
    "objdata",
    "object",
    "operator",
    "outl",
    "page",
    "paperh",
    "paperw",
    "par",
    "pard",
    "pardeftab",
    "pardirnatural",
    "partightenfactor",
    "pgdsctbl",
    "pich",
    "pichgoal",
    "picprop",
    "picscalex",
    "picscaley",
    "pict",
    "picw",
    "picwgoal",
    "plain",
    "pn",
    "pngblip",
    "private",
    "qc",
    "qj",
    "ql",
    "qmspace",
    "qnatural",
    "qr",
    "rdblquote",
    "red",
    "revtbl",
    "revtim",
    "ri",
    "row",
    "rquote",
    "rsidtbl",
    "rtlmark",
    "rtlpar",
    "sa",
    "sb",
    "scaps",
    "sec",
    "sect",
    "shad",
    "shadc",
    "shadr",
    "shadx",
    "shady",
    "shp",
    "shpinst",
    "shppict",
    "sl",
    "slleading",
    "slmaximum",
    "slminimum",
    "slmult",
    "sn",
    "strike",
    "strikec",
    "striked",
    "stylesheet",
    "sub",
    "subject",
    "super",
    "sv",
    "tab",
    "tb",
    "tc",
    "template",
    "themedata",
    "title",
    "tqc",
    "tqdec",
    "tql",
    "tqr",
    "tx",
    "txe",
    "u",
    "uc",
    "ul",
    "ulc",
    "uld",
    "uldash",
    "uldashd",
    "uldb",
    "ulhair",
    "ulnone",
    "ulth",
    "ulw",
    "ulwave",
    "up",
    "userprops",
    "v",
    "viewh",
    "viewkind",
    "viewscale",
    "vieww",
    "width",
    "xe",
    "xmlnstbl",
    "yr",
    "zwj",
    "zwnj",
};
inline constexpr int kCount = int(std::size(kNames));

// The number of a listed word, for case labels; a word missing from the list does not compile.
consteval int id(std::string_view name)
{
    for (int i = 1; i < kCount; ++i) {
        if (kNames[i] == name)
            return i;
    }
    throw "not a listed control word";
}

namespace Table {

// Open addressing over a power of two well above twice the words, so that most look-ups end at
// their first slot; the table is built by the compiler.
inline constexpr std::uint32_t kSlotBits = 10;
inline constexpr std::uint32_t kSlots = 1u << kSlotBits;

// A word's first eight letters in one integer: most words fit whole, so a look-up compares one
// integer and its length instead of calling a string comparison, and hashing costs one multiply.
constexpr std::uint64_t prefixOf(std::string_view name)
{
    std::uint64_t prefix = 0;
    const size_t count = name.size() < 8 ? name.size() : 8;
    for (size_t i = 0; i < count; ++i)
        prefix |= std::uint64_t(std::uint8_t(name[i])) << (8 * i);
    return prefix;
}

constexpr std::uint32_t slotOf(std::uint64_t prefix, size_t length)
{
    return std::uint32_t(((prefix ^ length) * 0x9E3779B97F4A7C15ull) >> (64 - kSlotBits));
}

struct Slot {
    std::uint64_t prefix = 0;
    std::uint16_t length = 0;
    std::uint16_t word = 0;
};

constexpr std::array<Slot, kSlots> makeSlots()
{
    std::array<Slot, kSlots> table{};
    for (int i = 1; i < kCount; ++i) {
        const std::uint64_t prefix = prefixOf(kNames[i]);
        std::uint32_t slot = slotOf(prefix, kNames[i].size());
        while (table[slot].word != 0)
            slot = (slot + 1) & (kSlots - 1);
        table[slot] = {prefix, std::uint16_t(kNames[i].size()), std::uint16_t(i)};
    }
    return table;
}

inline constexpr std::array<Slot, kSlots> kSlotTable = makeSlots();

} // namespace Table

// The number of a word read from a file, or 0, given its first eight letters as prefixOf packs
// them; the tokenizer packs them as it reads the word. Inline: every control word is looked up.
[[gnu::always_inline]] inline int lookup(std::uint64_t prefix, std::string_view name)
{
    std::uint32_t slot = Table::slotOf(prefix, name.size());
    for (;;) {
        const Table::Slot& candidate = Table::kSlotTable[slot];
        if (candidate.word == 0)
            return 0;
        if (candidate.prefix == prefix && candidate.length == name.size() &&
            (name.size() <= 8 || kNames[candidate.word].substr(8) == name.substr(8)))
            return candidate.word;
        slot = (slot + 1) & (Table::kSlots - 1);
    }
}

inline int lookup(std::string_view name)
{
    return lookup(Table::prefixOf(name), name);
}

} // namespace RtfControlWords
