#pragma once

#include "importer/MetadataImporterInterface.h"

// The entry points the importer library exports by name.

#ifdef __cplusplus
extern "C" {
#endif

#define OV_EXPORT __attribute__((visibility("default")))

OV_EXPORT void* MetadataImporterPluginFactory(void* allocator, OVUUIDBytes typeID);
OV_EXPORT void* AllocMetadataImporterPluginType(OVUUIDBytes factoryID);
OV_EXPORT void DeallocMetadataImporterPluginType(void* instance);
OV_EXPORT OVResult MetadataImporterQueryInterface(void* instance, OVUUIDBytes interfaceID,
                                                  void** outInstance);
OV_EXPORT uint32_t MetadataImporterPluginAddRef(void* instance);
OV_EXPORT uint32_t MetadataImporterPluginRelease(void* instance);
OV_EXPORT uint8_t GetMetadataForFile(void* instance, OVMetadataAttributeSink* attributes,
                                     const char* contentTypeUTI, const char* pathToFile);
// How many instances made for factoryID are alive: the registry a host keeps of a factory's
// instances, here inside the library so a host can tell when it may unload it.
OV_EXPORT uint32_t MetadataImporterInstanceCountForFactory(OVUUIDBytes factoryID);

#undef OV_EXPORT

#ifdef __cplusplus
}
#endif
