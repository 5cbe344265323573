#include "importer/MetadataImporterPlugin.h"

#include "importer/OVDocumentLoader.h"
#include "importer/OVJsonText.h"
#include "importer/OVMetadataAttributes.h"

#include <QUuid>

#include <atomic>
#include <cstring>
#include <mutex>
#include <string>
#include <unordered_map>

namespace {

// One instance per request of the host; the table is shared and constant.
struct MetadataImporterPluginType {
    OVMetadataImporterInterface* conduitInterface = nullptr;
    OVUUIDBytes factoryID{};
    bool hasFactoryID = false;
    std::atomic<uint32_t> refCount{0};
};

OVUUIDBytes uuidBytes(const char* text)
{
    const QByteArray raw = QUuid::fromString(QLatin1String(text)).toRfc4122();
    OVUUIDBytes bytes;
    std::memcpy(bytes.bytes, raw.constData(), sizeof bytes.bytes);
    return bytes;
}

bool operator==(const OVUUIDBytes& a, const OVUUIDBytes& b)
{
    return std::memcmp(a.bytes, b.bytes, sizeof a.bytes) == 0;
}

std::string key(const OVUUIDBytes& id)
{
    return std::string(reinterpret_cast<const char*>(id.bytes), sizeof id.bytes);
}

// Live instances per factory: what the host's registry would count, so a host can tell when the
// library may be unloaded. Instances may be made and released on any thread.
struct InstanceRegistry {
    std::mutex mutex;
    std::unordered_map<std::string, uint32_t> counts;

    void add(const OVUUIDBytes& factory)
    {
        std::lock_guard lock(mutex);
        ++counts[key(factory)];
    }
    void remove(const OVUUIDBytes& factory)
    {
        std::lock_guard lock(mutex);
        auto it = counts.find(key(factory));
        if (it != counts.end() && --it->second == 0)
            counts.erase(it);
    }
    uint32_t count(const OVUUIDBytes& factory)
    {
        std::lock_guard lock(mutex);
        auto it = counts.find(key(factory));
        return it == counts.end() ? 0 : it->second;
    }
};

InstanceRegistry& registry()
{
    static InstanceRegistry instances;
    return instances;
}

MetadataImporterPluginType* plugin(void* instance)
{
    return static_cast<MetadataImporterPluginType*>(instance);
}

OVMetadataImporterInterface kImporterInterface = {
    nullptr,
    MetadataImporterQueryInterface,
    MetadataImporterPluginAddRef,
    MetadataImporterPluginRelease,
    GetMetadataForFile,
};

} // namespace

extern "C" {

void* MetadataImporterPluginFactory(void*, OVUUIDBytes typeID)
{
    if (!(typeID == uuidBytes(OV_MD_IMPORTER_TYPE_UUID)))
        return nullptr;
    return AllocMetadataImporterPluginType(uuidBytes(OV_METADATA_IMPORTER_FACTORY_UUID));
}

void* AllocMetadataImporterPluginType(OVUUIDBytes factoryID)
{
    auto* instance = new MetadataImporterPluginType;
    instance->conduitInterface = &kImporterInterface;
    instance->factoryID = factoryID;
    instance->hasFactoryID = true;
    registry().add(factoryID);
    instance->refCount = 1;
    return instance;
}

void DeallocMetadataImporterPluginType(void* instance)
{
    MetadataImporterPluginType* record = plugin(instance);
    if (!record)
        return;
    if (record->hasFactoryID)
        registry().remove(record->factoryID);
    delete record;
}

OVResult MetadataImporterQueryInterface(void* instance, OVUUIDBytes interfaceID, void** outInstance)
{
    if (!outInstance)
        return OV_E_NOINTERFACE;
    if (instance && (interfaceID == uuidBytes(OV_MD_IMPORTER_INTERFACE_UUID) ||
                     interfaceID == uuidBytes(OV_IUNKNOWN_UUID))) {
        plugin(instance)->conduitInterface->AddRef(instance);
        *outInstance = instance;
        return OV_S_OK;
    }
    *outInstance = nullptr;
    return OV_E_NOINTERFACE;
}

uint32_t MetadataImporterPluginAddRef(void* instance)
{
    return ++plugin(instance)->refCount;
}

uint32_t MetadataImporterPluginRelease(void* instance)
{
    const uint32_t count = --plugin(instance)->refCount;
    if (count == 0)
        DeallocMetadataImporterPluginType(instance);
    return count;
}

uint8_t GetMetadataForFile(void*, OVMetadataAttributeSink* attributes, const char*, const char* pathToFile)
{
    if (!attributes || !attributes->setAttribute || !pathToFile)
        return 0;
    // The content type is not consulted: the loader decides from the file itself.
    const auto loader = OVDocumentLoader::loadDocumentAtPath(QString::fromUtf8(pathToFile));
    if (!loader)
        return 0;
    const QJsonObject found = OVMetadataAttributes::attributesForLoader(*loader);
    for (auto it = found.begin(); it != found.end(); ++it)
        attributes->setAttribute(attributes->context, it.key().toUtf8().constData(),
                                 OVJsonText::write(it.value()).constData());
    return 1;
}

uint32_t MetadataImporterInstanceCountForFactory(OVUUIDBytes factoryID)
{
    return registry().count(factoryID);
}

} // extern "C"
