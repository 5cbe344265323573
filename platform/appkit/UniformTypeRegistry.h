#pragma once

#include <QString>
#include <QStringList>

#include <vector>

// Type identifiers ("public.rtf", "com.apple.rtfd") with what each conforms to and the file name
// extensions that stand for it. The common public types are declared from the start; the application
// declares its own. Conformance is transitive: "public.utf8-plain-text" conforms to "public.text"
// through "public.plain-text".
class UniformTypeRegistry {
public:
    struct Declaration {
        QString identifier;
        // Direct parents only.
        QStringList conformsTo;
        // Lower case, without the dot; the first is the preferred one.
        QStringList extensions;
        QString description;
    };

    static UniformTypeRegistry& shared();

    UniformTypeRegistry();

    // Replaces an earlier declaration of the same identifier.
    void declareType(const Declaration& declaration);
    const Declaration* declaration(const QString& identifier) const;

    // True when type is parent or conforms to it through any chain of declarations; cycles in the
    // declarations are harmless.
    bool conformsTo(const QString& type, const QString& parent) const;
    // The first declared type whose extensions hold extension (case-insensitive); empty when none.
    // A type that is a package is preferred for a directory and a flat type for a file.
    QString typeForExtension(const QString& extension, bool isDirectory = false) const;
    QStringList extensionsForType(const QString& type) const;
    QString preferredExtension(const QString& type) const;
    bool isPackageType(const QString& type) const
    {
        return conformsTo(type, QStringLiteral("com.apple.package"));
    }

private:
    std::vector<Declaration> m_declarations;
};
