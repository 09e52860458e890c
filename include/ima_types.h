/*
 * ima_types.h - the IMA records as the host that loads libvxima.so lays them out (i386).
 *
 * Conventions
 *  - Every field has a fixed width: IMA_UINT and IMA_BOOL are 4 bytes, IMA_WCHAR is one 32-bit
 *    code unit (UTF-32, a string ends with a 0 unit), identifiers are aligned to 4. The 64-bit
 *    builds therefore hold the same bytes as the shipped 32-bit one; the asserts below pin the
 *    size of every record and the offset of every field the plug-in reads or writes.
 *  - Fields named reserved are never written by the plug-in; a record the plug-in fills is either
 *    cleared first or only written at its named fields, as each entry point says (ima.h).
 */
#ifndef IMA_TYPES_H
#define IMA_TYPES_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
#define IMA_LAYOUT(cond, what) static_assert(cond, what)
#else
#define IMA_LAYOUT(cond, what) _Static_assert(cond, what)
#endif

typedef uint8_t IMA_BYTE;
typedef uint16_t IMA_UINT16;
typedef uint32_t IMA_UINT32;
typedef uint32_t IMA_UINT;
typedef uint32_t IMA_BOOL;
typedef uint32_t IMA_WCHAR;
typedef uint32_t IMA_STATUS;
typedef uint32_t IMA_OBJECT_TYPE;
typedef uint32_t IMA_PHBA_STATUS;
typedef uint32_t IMA_NETWORK_PORT_STATUS;

/* Status codes. Bit 31 set: a failure; bit 30 set too: the caller's input was refused. */
#define IMA_STATUS_SUCCESS 0x00000000u
#define IMA_ERROR_GENERAL 0x80000000u            /* failed walk, no memory for a walk, rediscovery */
#define IMA_ERROR_NOT_SUPPORTED 0x80000001u
#define IMA_ERROR_TEXT_CONVERSION 0x80000004u    /* a text does not convert or does not fit */
#define IMA_ERROR_SYNC_TIMEOUT 0x80000005u       /* the hierarchy's lock was not obtained */
#define IMA_ERROR_LOGOUT_REFUSED 0x80000101u
#define IMA_ERROR_INVALID_PARAMETER 0xC0000000u
#define IMA_ERROR_INVALID_OBJECT_TYPE 0xC0000001u  /* type outside 1 to 16 */
#define IMA_ERROR_INCORRECT_OBJECT_TYPE 0xC0000002u /* type not accepted by the entry point */
#define IMA_ERROR_OBJECT_NOT_FOUND 0xC0000003u     /* no such object, or another owner's */
#define IMA_ERROR_NAME_TOO_LONG 0xC0000004u

#define IMA_SUCCESS(status) (((status) & 0x80000000u) == 0)

/* Object types of IMA_OID. */
#define IMA_OBJECT_TYPE_UNKNOWN 0u
#define IMA_OBJECT_TYPE_PLUGIN 1u
#define IMA_OBJECT_TYPE_NODE 2u
#define IMA_OBJECT_TYPE_LHBA 3u
#define IMA_OBJECT_TYPE_PHBA 4u
#define IMA_OBJECT_TYPE_NETWORK_PORTAL 5u
#define IMA_OBJECT_TYPE_PORTAL_GROUP 6u
#define IMA_OBJECT_TYPE_LNP 7u
#define IMA_OBJECT_TYPE_PNP 8u
#define IMA_OBJECT_TYPE_TARGET 9u
#define IMA_OBJECT_TYPE_LU 10u
#define IMA_OBJECT_TYPE_DISCOVERY_ADDRESS 11u
#define IMA_OBJECT_TYPE_STATIC_DISCOVERY_TARGET 12u
#define IMA_OBJECT_TYPE_CONNECTION 13u
#define IMA_OBJECT_TYPE_SESSION 14u

#define IMA_PHBA_STATUS_WORKING 0u
#define IMA_PHBA_STATUS_FAILED 1u
#define IMA_NETWORK_PORT_STATUS_WORKING 0u
#define IMA_NETWORK_PORT_STATUS_LINK_DOWN 4u
#define IMA_ISNS_DISCOVERY_METHOD_STATIC 1u
#define IMA_AUTHMETHOD_NONE 0u
#define IMA_AUTHMETHOD_CHAP 1u
/* IMA_VMW_GetDiscoveryStatus: 3 once a rediscovery of this process had a step fail, else 2. */
#define IMA_VMW_DISCOVERY_STATUS_OK 2u
#define IMA_VMW_DISCOVERY_STATUS_FAILED 3u
/* IMA_VMW_CONNECTION_STATUS.state of a connection that is logged in (or was closed after it). */
#define IMA_VMW_CONNECTION_STATE_LOGGED_IN 4u

/* An object: its type, the owner id the host gave the plug-in, and the 64-bit sequence number as
   two words (low word first) so that it stays 4-aligned as on the host. The plug-in keeps a node
   handle in the low word and its sign extension in the high word, which it ignores on input. */
typedef struct IMA_OID {
  IMA_OBJECT_TYPE objectType;
  IMA_UINT32 ownerId;
  IMA_UINT32 sequenceLow;
  IMA_UINT32 sequenceHigh;
} IMA_OID;
IMA_LAYOUT(sizeof(IMA_OID) == 16, "IMA_OID size");
IMA_LAYOUT(offsetof(IMA_OID, ownerId) == 4, "IMA_OID.ownerId");
IMA_LAYOUT(offsetof(IMA_OID, sequenceLow) == 8, "IMA_OID.sequenceLow");
IMA_LAYOUT(offsetof(IMA_OID, sequenceHigh) == 12, "IMA_OID.sequenceHigh");

/* A list handed out by the plug-in: 4 + 16 * oidCount bytes, freed with IMA_FreeMemory. */
typedef struct IMA_OID_LIST {
  IMA_UINT oidCount;
  IMA_OID oids[1];
} IMA_OID_LIST;
IMA_LAYOUT(sizeof(IMA_OID_LIST) == 20, "IMA_OID_LIST size");
IMA_LAYOUT(offsetof(IMA_OID_LIST, oids) == 4, "IMA_OID_LIST.oids");

/* An address: ipv4Address 1 uses the first four bytes, 0 is IPv6. */
typedef struct IMA_IP_ADDRESS {
  IMA_BOOL ipv4Address;
  IMA_BYTE ipAddress[16];
} IMA_IP_ADDRESS;
IMA_LAYOUT(sizeof(IMA_IP_ADDRESS) == 20, "IMA_IP_ADDRESS size");
IMA_LAYOUT(offsetof(IMA_IP_ADDRESS, ipAddress) == 4, "IMA_IP_ADDRESS.ipAddress");

typedef struct IMA_HOST_ID {
  IMA_BOOL hostnameInUse;
  union {
    IMA_WCHAR hostname[256];
    IMA_IP_ADDRESS ipAddress;
  } id;
} IMA_HOST_ID;
IMA_LAYOUT(sizeof(IMA_HOST_ID) == 1028, "IMA_HOST_ID size");
IMA_LAYOUT(offsetof(IMA_HOST_ID, id) == 4, "IMA_HOST_ID.id");

typedef struct IMA_TARGET_ADDRESS {
  IMA_HOST_ID hostnameIpAddress;
  IMA_UINT16 portNumber;
  IMA_BYTE reserved[2];
} IMA_TARGET_ADDRESS;
IMA_LAYOUT(sizeof(IMA_TARGET_ADDRESS) == 1032, "IMA_TARGET_ADDRESS size");
IMA_LAYOUT(offsetof(IMA_TARGET_ADDRESS, portNumber) == 1028, "IMA_TARGET_ADDRESS.portNumber");

/* The plug-in does not describe itself: IMA_GetPluginProperties never writes this record. */
typedef struct IMA_PLUGIN_PROPERTIES {
  IMA_BYTE reserved[1024];
} IMA_PLUGIN_PROPERTIES;
IMA_LAYOUT(sizeof(IMA_PLUGIN_PROPERTIES) == 1024, "IMA_PLUGIN_PROPERTIES size");

/* A physical HBA (an iSCSI function of an adapter). */
typedef struct IMA_PHBA_PROPERTIES {
  IMA_WCHAR vendor[64];
  IMA_WCHAR model[256];
  IMA_WCHAR description[256];
  IMA_WCHAR serialNumber[64];
  IMA_WCHAR hardwareVersion[256];
  IMA_WCHAR asicVersion[256];
  IMA_WCHAR firmwareVersion[256];
  IMA_WCHAR optionRomVersion[256];
  IMA_WCHAR driverName[256];
  IMA_WCHAR driverVersion[256];
  IMA_BOOL supportFlags1[2];     /* 1, 1 */
  IMA_UINT maximumCdbLength;
  IMA_BOOL supportFlags2[6];     /* 0, 0, 1, 0, 1, 1 */
  IMA_UINT32 reserved1[5];
  IMA_BOOL vmwSupportFlags[4];   /* 1 each, written by IMA_VMW_GetPhbaProperties only */
  IMA_UINT32 reserved2[23];
} IMA_PHBA_PROPERTIES;
IMA_LAYOUT(sizeof(IMA_PHBA_PROPERTIES) == 8868, "IMA_PHBA_PROPERTIES size");
IMA_LAYOUT(offsetof(IMA_PHBA_PROPERTIES, model) == 256, "IMA_PHBA_PROPERTIES.model");
IMA_LAYOUT(offsetof(IMA_PHBA_PROPERTIES, description) == 1280, "IMA_PHBA_PROPERTIES.description");
IMA_LAYOUT(offsetof(IMA_PHBA_PROPERTIES, serialNumber) == 2304, "IMA_PHBA_PROPERTIES.serialNumber");
IMA_LAYOUT(offsetof(IMA_PHBA_PROPERTIES, hardwareVersion) == 2560, "IMA_PHBA_PROPERTIES.hardwareVersion");
IMA_LAYOUT(offsetof(IMA_PHBA_PROPERTIES, asicVersion) == 3584, "IMA_PHBA_PROPERTIES.asicVersion");
IMA_LAYOUT(offsetof(IMA_PHBA_PROPERTIES, firmwareVersion) == 4608, "IMA_PHBA_PROPERTIES.firmwareVersion");
IMA_LAYOUT(offsetof(IMA_PHBA_PROPERTIES, optionRomVersion) == 5632, "IMA_PHBA_PROPERTIES.optionRomVersion");
IMA_LAYOUT(offsetof(IMA_PHBA_PROPERTIES, driverName) == 6656, "IMA_PHBA_PROPERTIES.driverName");
IMA_LAYOUT(offsetof(IMA_PHBA_PROPERTIES, driverVersion) == 7680, "IMA_PHBA_PROPERTIES.driverVersion");
IMA_LAYOUT(offsetof(IMA_PHBA_PROPERTIES, supportFlags1) == 8704, "IMA_PHBA_PROPERTIES.supportFlags1");
IMA_LAYOUT(offsetof(IMA_PHBA_PROPERTIES, maximumCdbLength) == 8712, "IMA_PHBA_PROPERTIES.maximumCdbLength");
IMA_LAYOUT(offsetof(IMA_PHBA_PROPERTIES, supportFlags2) == 8716, "IMA_PHBA_PROPERTIES.supportFlags2");
IMA_LAYOUT(offsetof(IMA_PHBA_PROPERTIES, vmwSupportFlags) == 8760, "IMA_PHBA_PROPERTIES.vmwSupportFlags");

/* The initiator node of a logical HBA. */
typedef struct IMA_NODE_PROPERTIES {
  IMA_BOOL runningInInitiatorMode;
  IMA_BOOL runningInTargetMode;
  IMA_BOOL nameValid;
  IMA_WCHAR name[224];
  IMA_BOOL aliasValid;
  IMA_WCHAR alias[256];
  IMA_BOOL nameAndAliasSettable;
  IMA_BYTE reserved[64];
} IMA_NODE_PROPERTIES;
IMA_LAYOUT(sizeof(IMA_NODE_PROPERTIES) == 2004, "IMA_NODE_PROPERTIES size");
IMA_LAYOUT(offsetof(IMA_NODE_PROPERTIES, runningInTargetMode) == 4, "IMA_NODE_PROPERTIES.runningInTargetMode");
IMA_LAYOUT(offsetof(IMA_NODE_PROPERTIES, nameValid) == 8, "IMA_NODE_PROPERTIES.nameValid");
IMA_LAYOUT(offsetof(IMA_NODE_PROPERTIES, name) == 12, "IMA_NODE_PROPERTIES.name");
IMA_LAYOUT(offsetof(IMA_NODE_PROPERTIES, aliasValid) == 908, "IMA_NODE_PROPERTIES.aliasValid");
IMA_LAYOUT(offsetof(IMA_NODE_PROPERTIES, alias) == 912, "IMA_NODE_PROPERTIES.alias");
IMA_LAYOUT(offsetof(IMA_NODE_PROPERTIES, nameAndAliasSettable) == 1936, "IMA_NODE_PROPERTIES.nameAndAliasSettable");

/* A logical HBA (the host's iSCSI adapter). */
typedef struct IMA_LHBA_PROPERTIES {
  IMA_WCHAR osDeviceName[256];
  IMA_UINT32 reserved1[4];
  IMA_BOOL supportFlags[3];      /* 1 each */
  IMA_UINT32 reserved2[3];
  IMA_BYTE vmwFlag;              /* 1 */
  IMA_BYTE reserved3[115];
} IMA_LHBA_PROPERTIES;
IMA_LAYOUT(sizeof(IMA_LHBA_PROPERTIES) == 1180, "IMA_LHBA_PROPERTIES size");
IMA_LAYOUT(offsetof(IMA_LHBA_PROPERTIES, supportFlags) == 1040, "IMA_LHBA_PROPERTIES.supportFlags");
IMA_LAYOUT(offsetof(IMA_LHBA_PROPERTIES, vmwFlag) == 1064, "IMA_LHBA_PROPERTIES.vmwFlag");

/* The physical network port of an iSCSI function. Rates are in megabits per second. */
typedef struct IMA_PNP_PROPERTIES {
  IMA_OID associatedPhbaOid;
  IMA_BYTE macAddress[6];
  IMA_BYTE reserved1[2];
  IMA_BOOL macAddressSettable;
  IMA_UINT maximumTransferRate;
  IMA_UINT currentTransferRate;
  IMA_UINT maximumFrameSize;
  IMA_WCHAR vmwName[8];          /* written (empty) by IMA_VMW_GetPnpProperties only */
  IMA_BYTE reserved2[32];
} IMA_PNP_PROPERTIES;
IMA_LAYOUT(sizeof(IMA_PNP_PROPERTIES) == 104, "IMA_PNP_PROPERTIES size");
IMA_LAYOUT(offsetof(IMA_PNP_PROPERTIES, macAddress) == 16, "IMA_PNP_PROPERTIES.macAddress");
IMA_LAYOUT(offsetof(IMA_PNP_PROPERTIES, macAddressSettable) == 24, "IMA_PNP_PROPERTIES.macAddressSettable");
IMA_LAYOUT(offsetof(IMA_PNP_PROPERTIES, maximumTransferRate) == 28, "IMA_PNP_PROPERTIES.maximumTransferRate");
IMA_LAYOUT(offsetof(IMA_PNP_PROPERTIES, currentTransferRate) == 32, "IMA_PNP_PROPERTIES.currentTransferRate");
IMA_LAYOUT(offsetof(IMA_PNP_PROPERTIES, maximumFrameSize) == 36, "IMA_PNP_PROPERTIES.maximumFrameSize");
IMA_LAYOUT(offsetof(IMA_PNP_PROPERTIES, vmwName) == 40, "IMA_PNP_PROPERTIES.vmwName");

/* The logical network port of an iSCSI function. */
typedef struct IMA_LNP_PROPERTIES {
  IMA_BYTE macAddress[6];
  IMA_BYTE reserved1[2];
  IMA_BOOL macAddressSettable;
  IMA_WCHAR vmwName[8];          /* written (empty) by IMA_VMW_GetLnpProperties only */
  IMA_BYTE reserved2[20];
} IMA_LNP_PROPERTIES;
IMA_LAYOUT(sizeof(IMA_LNP_PROPERTIES) == 64, "IMA_LNP_PROPERTIES size");
IMA_LAYOUT(offsetof(IMA_LNP_PROPERTIES, macAddressSettable) == 8, "IMA_LNP_PROPERTIES.macAddressSettable");
IMA_LAYOUT(offsetof(IMA_LNP_PROPERTIES, vmwName) == 12, "IMA_LNP_PROPERTIES.vmwName");

/* A broken-down time as the host's C library lays it out (eleven 32-bit fields); the plug-in never
   writes one. */
typedef struct IMA_DATETIME {
  IMA_UINT32 fields[11];
} IMA_DATETIME;
IMA_LAYOUT(sizeof(IMA_DATETIME) == 44, "IMA_DATETIME size");

/* How a logical HBA finds targets. Only the iSNS fields come from the adapter; SendTargets and
   static discovery are always on, SLP always off, and none of them can be changed. */
typedef struct IMA_DISCOVERY_PROPERTIES {
  IMA_BOOL iSnsDiscoverySettable;
  IMA_BOOL iSnsDiscoveryEnabled;
  IMA_UINT32 iSnsDiscoveryMethod;   /* 1 (static server) when enabled, else left as it was */
  IMA_HOST_ID iSnsHost;             /* no server: host name in use, and an empty name */
  IMA_BOOL slpDiscoverySettable;
  IMA_BOOL slpDiscoveryEnabled;
  IMA_BOOL staticDiscoverySettable;
  IMA_BOOL staticDiscoveryEnabled;
  IMA_BOOL sendTargetsDiscoverySettable;
  IMA_BOOL sendTargetsDiscoveryEnabled;
} IMA_DISCOVERY_PROPERTIES;
IMA_LAYOUT(sizeof(IMA_DISCOVERY_PROPERTIES) == 1064, "IMA_DISCOVERY_PROPERTIES size");
IMA_LAYOUT(offsetof(IMA_DISCOVERY_PROPERTIES, iSnsDiscoveryEnabled) == 4, "IMA_DISCOVERY_PROPERTIES.iSnsDiscoveryEnabled");
IMA_LAYOUT(offsetof(IMA_DISCOVERY_PROPERTIES, iSnsDiscoveryMethod) == 8, "IMA_DISCOVERY_PROPERTIES.iSnsDiscoveryMethod");
IMA_LAYOUT(offsetof(IMA_DISCOVERY_PROPERTIES, iSnsHost) == 12, "IMA_DISCOVERY_PROPERTIES.iSnsHost");
IMA_LAYOUT(offsetof(IMA_DISCOVERY_PROPERTIES, slpDiscoverySettable) == 1040, "IMA_DISCOVERY_PROPERTIES.slpDiscoverySettable");
IMA_LAYOUT(offsetof(IMA_DISCOVERY_PROPERTIES, slpDiscoveryEnabled) == 1044, "IMA_DISCOVERY_PROPERTIES.slpDiscoveryEnabled");
IMA_LAYOUT(offsetof(IMA_DISCOVERY_PROPERTIES, staticDiscoverySettable) == 1048, "IMA_DISCOVERY_PROPERTIES.staticDiscoverySettable");
IMA_LAYOUT(offsetof(IMA_DISCOVERY_PROPERTIES, staticDiscoveryEnabled) == 1052, "IMA_DISCOVERY_PROPERTIES.staticDiscoveryEnabled");
IMA_LAYOUT(offsetof(IMA_DISCOVERY_PROPERTIES, sendTargetsDiscoverySettable) == 1056, "IMA_DISCOVERY_PROPERTIES.sendTargetsDiscoverySettable");
IMA_LAYOUT(offsetof(IMA_DISCOVERY_PROPERTIES, sendTargetsDiscoveryEnabled) == 1060, "IMA_DISCOVERY_PROPERTIES.sendTargetsDiscoveryEnabled");

/* A SendTargets discovery address of a logical HBA. */
typedef struct IMA_DISCOVERY_ADDRESS_PROPERTIES {
  IMA_OID associatedNodeOid;   /* the physical HBA */
  IMA_OID associatedLhbaOid;
  IMA_TARGET_ADDRESS discoveryAddress;
} IMA_DISCOVERY_ADDRESS_PROPERTIES;
IMA_LAYOUT(sizeof(IMA_DISCOVERY_ADDRESS_PROPERTIES) == 1064, "IMA_DISCOVERY_ADDRESS_PROPERTIES size");
IMA_LAYOUT(offsetof(IMA_DISCOVERY_ADDRESS_PROPERTIES, associatedLhbaOid) == 16, "IMA_DISCOVERY_ADDRESS_PROPERTIES.associatedLhbaOid");
IMA_LAYOUT(offsetof(IMA_DISCOVERY_ADDRESS_PROPERTIES, discoveryAddress) == 32, "IMA_DISCOVERY_ADDRESS_PROPERTIES.discoveryAddress");
IMA_LAYOUT(offsetof(IMA_DISCOVERY_ADDRESS_PROPERTIES, discoveryAddress.hostnameIpAddress.id) == 36, "IMA_DISCOVERY_ADDRESS_PROPERTIES address");
IMA_LAYOUT(offsetof(IMA_DISCOVERY_ADDRESS_PROPERTIES, discoveryAddress.portNumber) == 1060, "IMA_DISCOVERY_ADDRESS_PROPERTIES port");

/* A static discovery target to add: a target name and one of its portals. */
typedef struct IMA_STATIC_DISCOVERY_TARGET {
  IMA_WCHAR targetName[224];
  IMA_TARGET_ADDRESS targetAddress;
} IMA_STATIC_DISCOVERY_TARGET;
IMA_LAYOUT(sizeof(IMA_STATIC_DISCOVERY_TARGET) == 1928, "IMA_STATIC_DISCOVERY_TARGET size");
IMA_LAYOUT(offsetof(IMA_STATIC_DISCOVERY_TARGET, targetAddress) == 896, "IMA_STATIC_DISCOVERY_TARGET.targetAddress");

/* A static discovery target: one portal of one target (cleared before it is filled). */
typedef struct IMA_STATIC_DISCOVERY_TARGET_PROPERTIES {
  IMA_OID associatedNodeOid;   /* the physical HBA */
  IMA_OID associatedLhbaOid;
  IMA_WCHAR targetName[224];
  IMA_TARGET_ADDRESS targetAddress;
  IMA_UINT32 reserved1;        /* 0 */
  IMA_UINT16 portalGroupTag;
  IMA_BYTE reserved2[2];
} IMA_STATIC_DISCOVERY_TARGET_PROPERTIES;
IMA_LAYOUT(sizeof(IMA_STATIC_DISCOVERY_TARGET_PROPERTIES) == 1968, "IMA_STATIC_DISCOVERY_TARGET_PROPERTIES size");
IMA_LAYOUT(offsetof(IMA_STATIC_DISCOVERY_TARGET_PROPERTIES, associatedLhbaOid) == 16, "IMA_STATIC_DISCOVERY_TARGET_PROPERTIES.associatedLhbaOid");
IMA_LAYOUT(offsetof(IMA_STATIC_DISCOVERY_TARGET_PROPERTIES, targetName) == 32, "IMA_STATIC_DISCOVERY_TARGET_PROPERTIES.targetName");
IMA_LAYOUT(offsetof(IMA_STATIC_DISCOVERY_TARGET_PROPERTIES, targetAddress) == 928, "IMA_STATIC_DISCOVERY_TARGET_PROPERTIES.targetAddress");
IMA_LAYOUT(offsetof(IMA_STATIC_DISCOVERY_TARGET_PROPERTIES, targetAddress.hostnameIpAddress.id) == 932, "IMA_STATIC_DISCOVERY_TARGET_PROPERTIES address");
IMA_LAYOUT(offsetof(IMA_STATIC_DISCOVERY_TARGET_PROPERTIES, targetAddress.portNumber) == 1956, "IMA_STATIC_DISCOVERY_TARGET_PROPERTIES port");
IMA_LAYOUT(offsetof(IMA_STATIC_DISCOVERY_TARGET_PROPERTIES, reserved1) == 1960, "IMA_STATIC_DISCOVERY_TARGET_PROPERTIES.reserved1");
IMA_LAYOUT(offsetof(IMA_STATIC_DISCOVERY_TARGET_PROPERTIES, portalGroupTag) == 1964, "IMA_STATIC_DISCOVERY_TARGET_PROPERTIES.portalGroupTag");

/* A target of a logical HBA. */
typedef struct IMA_TARGET_PROPERTIES {
  IMA_OID associatedNodeOid;   /* the physical HBA */
  IMA_OID associatedLhbaOid;
  IMA_WCHAR name[224];
  IMA_WCHAR alias[256];
  IMA_UINT32 reserved;         /* never written */
  IMA_BOOL discoverySettable;  /* 0 */
  IMA_BOOL discoveryEnabled;   /* 1 */
} IMA_TARGET_PROPERTIES;
IMA_LAYOUT(sizeof(IMA_TARGET_PROPERTIES) == 1964, "IMA_TARGET_PROPERTIES size");
IMA_LAYOUT(offsetof(IMA_TARGET_PROPERTIES, associatedLhbaOid) == 16, "IMA_TARGET_PROPERTIES.associatedLhbaOid");
IMA_LAYOUT(offsetof(IMA_TARGET_PROPERTIES, name) == 32, "IMA_TARGET_PROPERTIES.name");
IMA_LAYOUT(offsetof(IMA_TARGET_PROPERTIES, alias) == 928, "IMA_TARGET_PROPERTIES.alias");
IMA_LAYOUT(offsetof(IMA_TARGET_PROPERTIES, discoverySettable) == 1956, "IMA_TARGET_PROPERTIES.discoverySettable");
IMA_LAYOUT(offsetof(IMA_TARGET_PROPERTIES, discoveryEnabled) == 1960, "IMA_TARGET_PROPERTIES.discoveryEnabled");

/* A logical unit behind a target (cleared before it is filled). */
typedef struct IMA_LU_PROPERTIES {
  IMA_OID associatedTargetOid;
  IMA_BYTE targetLun[8];
  IMA_BOOL exposedToOs;        /* 0 */
  IMA_DATETIME timeExposedToOs;
  IMA_BOOL deviceNameValid;    /* 0 */
  IMA_WCHAR deviceName[64];
  IMA_BOOL osNumbersValid;     /* 0: the bus, target and LUN numbers below are not given */
  IMA_UINT32 osBusNumber;
  IMA_UINT32 osTargetId;
  IMA_UINT32 osLun[2];
  IMA_BYTE reserved[124];
} IMA_LU_PROPERTIES;
IMA_LAYOUT(sizeof(IMA_LU_PROPERTIES) == 476, "IMA_LU_PROPERTIES size");
IMA_LAYOUT(offsetof(IMA_LU_PROPERTIES, targetLun) == 16, "IMA_LU_PROPERTIES.targetLun");
IMA_LAYOUT(offsetof(IMA_LU_PROPERTIES, exposedToOs) == 24, "IMA_LU_PROPERTIES.exposedToOs");
IMA_LAYOUT(offsetof(IMA_LU_PROPERTIES, deviceNameValid) == 72, "IMA_LU_PROPERTIES.deviceNameValid");
IMA_LAYOUT(offsetof(IMA_LU_PROPERTIES, osNumbersValid) == 332, "IMA_LU_PROPERTIES.osNumbersValid");

/* A session of a target (cleared before it is filled). Flags are 0 for "None" or "No", else 1. */
typedef struct IMA_SESSION_PROPERTIES {
  IMA_OID associatedLhbaOid;
  IMA_OID associatedTargetOid;     /* a portal of the target that a connection leads to; tag 0 for none */
  IMA_UINT32 authMethod;           /* 0 none, 1 CHAP */
  IMA_BOOL dataPduInOrder;
  IMA_BOOL dataSequenceInOrder;
  IMA_UINT32 defaultTime2Retain;
  IMA_UINT32 defaultTime2Wait;
  IMA_UINT32 errorRecoveryLevel;
  IMA_UINT32 firstBurstLength;
  IMA_BOOL immediateData;
  IMA_BOOL initialR2T;
  IMA_BYTE isid[6];
  IMA_BYTE reserved[2];
  IMA_UINT32 maxBurstLength;
  IMA_UINT32 maxConnections;
  IMA_UINT32 maxOutstandingR2T;
  IMA_UINT16 targetPortalGroupTag;
  IMA_UINT16 tsih;
} IMA_SESSION_PROPERTIES;
IMA_LAYOUT(sizeof(IMA_SESSION_PROPERTIES) == 92, "IMA_SESSION_PROPERTIES size");
IMA_LAYOUT(offsetof(IMA_SESSION_PROPERTIES, associatedTargetOid) == 16, "IMA_SESSION_PROPERTIES.associatedTargetOid");
IMA_LAYOUT(offsetof(IMA_SESSION_PROPERTIES, authMethod) == 32, "IMA_SESSION_PROPERTIES.authMethod");
IMA_LAYOUT(offsetof(IMA_SESSION_PROPERTIES, dataPduInOrder) == 36, "IMA_SESSION_PROPERTIES.dataPduInOrder");
IMA_LAYOUT(offsetof(IMA_SESSION_PROPERTIES, dataSequenceInOrder) == 40, "IMA_SESSION_PROPERTIES.dataSequenceInOrder");
IMA_LAYOUT(offsetof(IMA_SESSION_PROPERTIES, defaultTime2Retain) == 44, "IMA_SESSION_PROPERTIES.defaultTime2Retain");
IMA_LAYOUT(offsetof(IMA_SESSION_PROPERTIES, defaultTime2Wait) == 48, "IMA_SESSION_PROPERTIES.defaultTime2Wait");
IMA_LAYOUT(offsetof(IMA_SESSION_PROPERTIES, errorRecoveryLevel) == 52, "IMA_SESSION_PROPERTIES.errorRecoveryLevel");
IMA_LAYOUT(offsetof(IMA_SESSION_PROPERTIES, firstBurstLength) == 56, "IMA_SESSION_PROPERTIES.firstBurstLength");
IMA_LAYOUT(offsetof(IMA_SESSION_PROPERTIES, immediateData) == 60, "IMA_SESSION_PROPERTIES.immediateData");
IMA_LAYOUT(offsetof(IMA_SESSION_PROPERTIES, initialR2T) == 64, "IMA_SESSION_PROPERTIES.initialR2T");
IMA_LAYOUT(offsetof(IMA_SESSION_PROPERTIES, isid) == 68, "IMA_SESSION_PROPERTIES.isid");
IMA_LAYOUT(offsetof(IMA_SESSION_PROPERTIES, maxBurstLength) == 76, "IMA_SESSION_PROPERTIES.maxBurstLength");
IMA_LAYOUT(offsetof(IMA_SESSION_PROPERTIES, maxConnections) == 80, "IMA_SESSION_PROPERTIES.maxConnections");
IMA_LAYOUT(offsetof(IMA_SESSION_PROPERTIES, maxOutstandingR2T) == 84, "IMA_SESSION_PROPERTIES.maxOutstandingR2T");
IMA_LAYOUT(offsetof(IMA_SESSION_PROPERTIES, targetPortalGroupTag) == 88, "IMA_SESSION_PROPERTIES.targetPortalGroupTag");
IMA_LAYOUT(offsetof(IMA_SESSION_PROPERTIES, tsih) == 90, "IMA_SESSION_PROPERTIES.tsih");

/* A connection of a session. The fields marked host-owned are never written. */
typedef struct IMA_CONNECTION_PROPERTIES {
  IMA_OID associatedSessionOid;
  IMA_UINT16 connectionId;
  IMA_BYTE reserved[2];
  IMA_BOOL dataDigest;             /* 0 for "None", else 1 */
  IMA_BOOL headerDigest;
  IMA_UINT32 zeroField1;           /* 0 */
  IMA_UINT32 hostOwned1;
  IMA_UINT32 maxRecvDataSegmentLength;
  IMA_UINT32 maxTransmitDataSegmentLength;
  IMA_UINT32 zeroField2;           /* 0 */
  IMA_UINT32 hostOwned2;
} IMA_CONNECTION_PROPERTIES;
IMA_LAYOUT(sizeof(IMA_CONNECTION_PROPERTIES) == 52, "IMA_CONNECTION_PROPERTIES size");
IMA_LAYOUT(offsetof(IMA_CONNECTION_PROPERTIES, connectionId) == 16, "IMA_CONNECTION_PROPERTIES.connectionId");
IMA_LAYOUT(offsetof(IMA_CONNECTION_PROPERTIES, dataDigest) == 20, "IMA_CONNECTION_PROPERTIES.dataDigest");
IMA_LAYOUT(offsetof(IMA_CONNECTION_PROPERTIES, headerDigest) == 24, "IMA_CONNECTION_PROPERTIES.headerDigest");
IMA_LAYOUT(offsetof(IMA_CONNECTION_PROPERTIES, zeroField1) == 28, "IMA_CONNECTION_PROPERTIES.zeroField1");
IMA_LAYOUT(offsetof(IMA_CONNECTION_PROPERTIES, hostOwned1) == 32, "IMA_CONNECTION_PROPERTIES.hostOwned1");
IMA_LAYOUT(offsetof(IMA_CONNECTION_PROPERTIES, maxRecvDataSegmentLength) == 36, "IMA_CONNECTION_PROPERTIES.maxRecvDataSegmentLength");
IMA_LAYOUT(offsetof(IMA_CONNECTION_PROPERTIES, maxTransmitDataSegmentLength) == 40, "IMA_CONNECTION_PROPERTIES.maxTransmitDataSegmentLength");
IMA_LAYOUT(offsetof(IMA_CONNECTION_PROPERTIES, zeroField2) == 44, "IMA_CONNECTION_PROPERTIES.zeroField2");
IMA_LAYOUT(offsetof(IMA_CONNECTION_PROPERTIES, hostOwned2) == 48, "IMA_CONNECTION_PROPERTIES.hostOwned2");

/* Where a connection leads and whether it is up. An address valid flag is 1 even where the address
   is not given: a connection without a redirection has 0 in redirected.ipv4Address and nothing
   else of that address written. */
typedef struct IMA_VMW_CONNECTION_STATUS {
  IMA_BOOL destinationValid;
  IMA_IP_ADDRESS destination;
  IMA_BOOL redirectedValid;
  IMA_IP_ADDRESS redirected;
  IMA_BOOL sourceValid;
  IMA_IP_ADDRESS source;
  IMA_UINT32 state;                /* 4 while logged in or closed; else left as it was */
} IMA_VMW_CONNECTION_STATUS;
IMA_LAYOUT(sizeof(IMA_VMW_CONNECTION_STATUS) == 76, "IMA_VMW_CONNECTION_STATUS size");
IMA_LAYOUT(offsetof(IMA_VMW_CONNECTION_STATUS, destination) == 4, "IMA_VMW_CONNECTION_STATUS.destination");
IMA_LAYOUT(offsetof(IMA_VMW_CONNECTION_STATUS, redirectedValid) == 24, "IMA_VMW_CONNECTION_STATUS.redirectedValid");
IMA_LAYOUT(offsetof(IMA_VMW_CONNECTION_STATUS, redirected) == 28, "IMA_VMW_CONNECTION_STATUS.redirected");
IMA_LAYOUT(offsetof(IMA_VMW_CONNECTION_STATUS, sourceValid) == 48, "IMA_VMW_CONNECTION_STATUS.sourceValid");
IMA_LAYOUT(offsetof(IMA_VMW_CONNECTION_STATUS, source) == 52, "IMA_VMW_CONNECTION_STATUS.source");
IMA_LAYOUT(offsetof(IMA_VMW_CONNECTION_STATUS, state) == 72, "IMA_VMW_CONNECTION_STATUS.state");

#endif /* IMA_TYPES_H */
