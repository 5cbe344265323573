#pragma once

#include "platform/foundation/PlistValue.h"

#include <QString>

#include <vector>

// A class that brings initial values for its user-defaults keys. The class itself answers
// initialDefaultsDictionary (a static member) and registers once through an
// HVInitialDefaultsProviderRegistration; its instances hear about a reset of all settings when they
// join the settings controller.
class HVInitialDefaultsProvider {
public:
    virtual ~HVInitialDefaultsProvider() = default;

    virtual void defaultsWillReset() {}
    virtual void defaultsDidReset() {}
};

// Every provider class known to the process, in the order of their class names.
class HVInitialDefaultsRegistry {
public:
    using DefaultsFunction = PlistDictionary (*)();

    struct ProviderClass {
        QString className;
        DefaultsFunction initialDefaultsDictionary = nullptr;
    };

    // A second registration of the same class name replaces the first.
    static void addProviderClass(const QString& className, DefaultsFunction function);
    static void removeProviderClass(const QString& className);
    static std::vector<ProviderClass> providerClasses();

    // All classes' dictionaries merged. A key that two classes register keeps the value of the
    // first class by name, and the clash is logged: it is a programming error.
    static PlistDictionary initialDefaults();
};

// One static object of this type in a provider's .cpp file registers the class when the program
// starts. Keep it in the file that defines the class's other members: a static library only
// links object files something refers to.
template <class Provider> class HVInitialDefaultsProviderRegistration {
public:
    explicit HVInitialDefaultsProviderRegistration(const char* className)
    {
        HVInitialDefaultsRegistry::addProviderClass(QString::fromLatin1(className),
                                                    &Provider::initialDefaultsDictionary);
    }
};
