#include "platform/appkit/UniformTypeRegistry.h"

#include <algorithm>

namespace {

std::vector<UniformTypeRegistry::Declaration> builtInTypes()
{
    using D = UniformTypeRegistry::Declaration;
    return {
        D{"public.item", {}, {}, "Item"},
        D{"public.content", {}, {}, "Content"},
        D{"public.composite-content", {"public.content"}, {}, "Composite content"},
        D{"public.data", {"public.item"}, {}, "Data"},
        D{"public.directory", {"public.item"}, {}, "Directory"},
        D{"public.folder", {"public.directory"}, {}, "Folder"},
        D{"com.apple.package", {"public.directory"}, {}, "Package"},
        D{"public.text", {"public.data", "public.content"}, {}, "Text"},
        D{"public.plain-text", {"public.text"}, {"txt", "text"}, "Plain text"},
        D{"public.utf8-plain-text", {"public.plain-text"}, {}, "Unicode text"},
        D{"public.rtf", {"public.text"}, {"rtf"}, "Rich text"},
        D{"com.apple.rtfd",
          {"com.apple.package", "public.composite-content"},
          {"rtfd"},
          "Rich text with attachments"},
        D{"com.apple.flat-rtfd",
          {"public.data", "public.composite-content"},
          {},
          "Rich text with attachments, flat"},
        D{"public.html", {"public.text"}, {"html", "htm"}, "HTML"},
        D{"com.apple.webarchive", {"public.data", "public.composite-content"}, {"webarchive"}, "Web archive"},
        D{"org.openxmlformats.wordprocessingml.document",
          {"public.data", "public.composite-content"},
          {"docx"},
          "Word document"},
        D{"com.microsoft.word.doc", {"public.data", "public.composite-content"}, {"doc"}, "Word 97 document"},
        D{"org.oasis-open.opendocument.text",
          {"public.data", "public.composite-content"},
          {"odt"},
          "OpenDocument text"},
        D{"com.adobe.pdf", {"public.data", "public.composite-content"}, {"pdf"}, "PDF document"},
        D{"public.image", {"public.data", "public.content"}, {}, "Image"},
        D{"public.png", {"public.image"}, {"png"}, "PNG image"},
        D{"public.jpeg", {"public.image"}, {"jpg", "jpeg"}, "JPEG image"},
        D{"public.tiff", {"public.image"}, {"tif", "tiff"}, "TIFF image"},
        D{"com.apple.property-list", {"public.data"}, {"plist"}, "Property list"},
        D{"public.url", {"public.data"}, {}, "URL"},
        D{"public.file-url", {"public.url"}, {}, "File URL"},
    };
}

} // namespace

UniformTypeRegistry& UniformTypeRegistry::shared()
{
    static UniformTypeRegistry registry;
    return registry;
}

UniformTypeRegistry::UniformTypeRegistry() : m_declarations(builtInTypes()) {}

void UniformTypeRegistry::declareType(const Declaration& declaration)
{
    Declaration normalised = declaration;
    for (QString& extension : normalised.extensions)
        extension = extension.toLower();
    auto it = std::find_if(m_declarations.begin(), m_declarations.end(),
                           [&](const Declaration& d) { return d.identifier == declaration.identifier; });
    if (it != m_declarations.end())
        *it = std::move(normalised);
    else
        m_declarations.push_back(std::move(normalised));
}

const UniformTypeRegistry::Declaration* UniformTypeRegistry::declaration(const QString& identifier) const
{
    auto it = std::find_if(m_declarations.begin(), m_declarations.end(),
                           [&](const Declaration& d) { return d.identifier == identifier; });
    return it == m_declarations.end() ? nullptr : &*it;
}

bool UniformTypeRegistry::conformsTo(const QString& type, const QString& parent) const
{
    if (type.isEmpty() || parent.isEmpty())
        return false;
    QStringList pending{type};
    QStringList seen;
    while (!pending.isEmpty()) {
        const QString current = pending.takeLast();
        if (current == parent)
            return true;
        if (seen.contains(current))
            continue;
        seen << current;
        if (const Declaration* d = declaration(current))
            pending << d->conformsTo;
    }
    return false;
}

QString UniformTypeRegistry::typeForExtension(const QString& extension, bool isDirectory) const
{
    const QString lower = extension.toLower();
    QString fallback;
    for (const Declaration& d : m_declarations) {
        if (!d.extensions.contains(lower))
            continue;
        if (isPackageType(d.identifier) == isDirectory)
            return d.identifier;
        if (fallback.isEmpty())
            fallback = d.identifier;
    }
    return fallback;
}

QStringList UniformTypeRegistry::extensionsForType(const QString& type) const
{
    const Declaration* d = declaration(type);
    return d ? d->extensions : QStringList();
}

QString UniformTypeRegistry::preferredExtension(const QString& type) const
{
    const QStringList extensions = extensionsForType(type);
    return extensions.isEmpty() ? QString() : extensions.first();
}
