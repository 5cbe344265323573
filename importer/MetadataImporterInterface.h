#pragma once

// The plug-in interface between a metadata importer and the program that hosts it, in C so that a
// host needs nothing of ours but this header. It follows the component model search indexers use:
// the host asks the factory for an instance of the importer type, queries it for the importer
// interface, calls GetMetadataForFile once per file, and releases it. An instance is a pointer to a
// record whose first field points at the interface table.

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// A UUID as its 16 bytes in network order; passed by value, as interface identifiers are.
typedef struct OVUUIDBytes {
    uint8_t bytes[16];
} OVUUIDBytes;

typedef int32_t OVResult;
#define OV_S_OK ((OVResult)0)
#define OV_E_NOINTERFACE ((OVResult)0x80000004)

// Where an importer reports attributes. value is JSON text in UTF-8: a string, a number or an array
// of strings. Nothing is reported for a file the importer does not read.
typedef struct OVMetadataAttributeSink {
    void* context;
    void (*setAttribute)(void* context, const char* name, const char* value);
} OVMetadataAttributeSink;

// The importer interface table, in the order the component model fixes.
typedef struct OVMetadataImporterInterface {
    void* reserved;
    OVResult (*QueryInterface)(void* instance, OVUUIDBytes interfaceID, void** outInstance);
    uint32_t (*AddRef)(void* instance);
    uint32_t (*Release)(void* instance);
    // 1 when the file was read and its attributes reported, 0 otherwise.
    uint8_t (*GetMetadataForFile)(void* instance, OVMetadataAttributeSink* attributes,
                                  const char* contentTypeUTI, const char* pathToFile);
} OVMetadataImporterInterface;

// The factory the host looks up by name; NULL for any type but the importer type.
typedef void* (*OVMetadataImporterFactoryFunction)(void* allocator, OVUUIDBytes typeID);
#define OV_METADATA_IMPORTER_FACTORY_NAME "MetadataImporterPluginFactory"

// Identifiers, as UUID strings.
#define OV_METADATA_IMPORTER_FACTORY_UUID "C94208A2-795B-455C-B1CD-A2F1A0EDD708"
#define OV_MD_IMPORTER_TYPE_UUID "8B08C4BF-415B-11D8-B3F9-0003936726FC"
#define OV_MD_IMPORTER_INTERFACE_UUID "6EBC27C4-899C-11D8-84AE-0003936726FC"
#define OV_IUNKNOWN_UUID "00000000-0000-0000-C000-000000000046"

#ifdef __cplusplus
}
#endif
