/*
 * ima.h - the IMA entry points of libvxima.so, for the host's IMA framework (plain C).
 *
 * Conventions
 *  - The host calls IMA_VMW_PluginInit(ownerId) before any other entry point and
 *    IMA_VMW_PluginCleanup() when it is done; inits are counted, the first starts the hierarchy and
 *    the cleanup that brings the count to 0 stops it. Every identifier the plug-in returns carries
 *    the owner id of the latest init, and only identifiers carrying it are accepted.
 *  - Every entry point returns an IMA status (ima_types.h). Checks run in this order: the out
 *    pointer (IMA_ERROR_INVALID_PARAMETER), the object type (IMA_ERROR_INVALID_OBJECT_TYPE outside
 *    1 to 16, IMA_ERROR_INCORRECT_OBJECT_TYPE when not accepted), then the object
 *    (IMA_ERROR_OBJECT_NOT_FOUND). A refusal of the hierarchy gives IMA_ERROR_INVALID_PARAMETER, its
 *    lock time-out IMA_ERROR_SYNC_TIMEOUT, any other failure of it IMA_ERROR_GENERAL.
 *  - Lists are allocated by the plug-in and freed by the caller with IMA_FreeMemory.
 *  - Texts are IMA_WCHAR strings. A text whose UTF-8 form does not fit 255 bytes is refused
 *    (IMA_ERROR_NAME_TOO_LONG for node names and aliases, IMA_ERROR_TEXT_CONVERSION otherwise), and so
 *    is a code unit above 0x10FFFF. A caller's string is read up to its 0 unit, at most 256 units.
 *  - Records: the entry point says which records it clears first; the others are written only at
 *    the fields it fills, and a failure may leave them partly filled.
 */
#ifndef IMA_H
#define IMA_H

#include "ima_types.h"

#ifdef __cplusplus
extern "C" {
#endif

#if defined(VXIMA_BUILDING)
#define IMA_API __attribute__((visibility("default")))
#else
#define IMA_API
#endif

/* ---- lifecycle ------------------------------------------------------------------------------- */
/* Always IMA_STATUS_SUCCESS, also when the hierarchy could not be built. */
IMA_API IMA_STATUS IMA_VMW_PluginInit(IMA_UINT32 ownerId);
IMA_API void IMA_VMW_PluginCleanup(void);
/* Frees a list handed out by the plug-in; NULL is accepted. Always success. */
IMA_API IMA_STATUS IMA_FreeMemory(void *memory);
/* IMA_ERROR_NOT_SUPPORTED (the record untouched), IMA_ERROR_INVALID_PARAMETER for NULL. */
IMA_API IMA_STATUS IMA_GetPluginProperties(IMA_OID pluginOid, IMA_PLUGIN_PROPERTIES *props);
/* IMA_ERROR_NOT_SUPPORTED. */
IMA_API IMA_STATUS IMA_PersistHbaParameters(IMA_OID oid);
IMA_API IMA_STATUS IMA_VMW_SetDebugLevel(IMA_UINT level);

/* ---- identifiers ----------------------------------------------------------------------------- */
/* The initiator node of the first adapter's first iSCSI function (type NODE). */
IMA_API IMA_STATUS IMA_GetSharedNodeOid(IMA_OID *nodeOid);
/* Success for the types whose login parameters can be set (LHBA, NETWORK_PORTAL, LNP, PNP, TARGET,
   DISCOVERY_ADDRESS, STATIC_DISCOVERY_TARGET); only the type is looked at. */
IMA_API IMA_STATUS IMA_VMW_CheckSupportedParameterLevel(IMA_OID oid);

/* ---- physical HBAs, logical HBAs, nodes and ports -------------------------------------------- */
/* Every iSCSI function of every adapter as a PHBA / LNP; every enabled logical HBA. A failed walk
   over the adapters gives IMA_ERROR_GENERAL; an adapter that cannot be read is left out. */
IMA_API IMA_STATUS IMA_GetPhbaOidList(IMA_OID_LIST **list);
IMA_API IMA_STATUS IMA_GetLnpOidList(IMA_OID_LIST **list);
IMA_API IMA_STATUS IMA_GetLhbaOidList(IMA_OID_LIST **list);
/* The enabled logical HBAs of one PHBA. */
IMA_API IMA_STATUS IMA_VMW_GetLhbaOidList(IMA_OID phbaOid, IMA_OID_LIST **list);
/* The PNP of a PHBA or LNP. */
IMA_API IMA_STATUS IMA_GetPnpOidList(IMA_OID oid, IMA_OID_LIST **list);
/* The network portal of an LHBA or LNP. */
IMA_API IMA_STATUS IMA_VMW_GetNetworkPortalOidList(IMA_OID oid, IMA_OID_LIST **list);
/* The LNP of a PHBA, LNP or PNP. */
IMA_API IMA_STATUS IMA_VMW_GetLnpOidList(IMA_OID oid, IMA_OID_LIST **list);

/* Clear the record first. The VMware variant also sets vmwSupportFlags. */
IMA_API IMA_STATUS IMA_GetPhbaProperties(IMA_OID phbaOid, IMA_PHBA_PROPERTIES *props);
IMA_API IMA_STATUS IMA_VMW_GetPhbaProperties(IMA_OID phbaOid, IMA_PHBA_PROPERTIES *props);
/* WORKING while the adapter's firmware is working, else FAILED. */
IMA_API IMA_STATUS IMA_GetPhbaStatus(IMA_OID phbaOid, IMA_PHBA_STATUS *status);
/* The node of an LHBA, or of a PHBA's first logical HBA; clears the record first. */
IMA_API IMA_STATUS IMA_VMW_GetNodeProperties(IMA_OID oid, IMA_NODE_PROPERTIES *props);
/* Name: 1 to 223 units; alias: at most 255 units, empty allowed. Of an LHBA or a PHBA's first
   logical HBA; the hierarchy checks the value further. */
IMA_API IMA_STATUS IMA_VMW_SetNodeName(IMA_OID oid, const IMA_WCHAR *name);
IMA_API IMA_STATUS IMA_VMW_SetNodeAlias(IMA_OID oid, const IMA_WCHAR *alias);
/* IMA_GetLhbaProperties clears the record first; the VMware variant does not. */
IMA_API IMA_STATUS IMA_GetLhbaProperties(IMA_OID lhbaOid, IMA_LHBA_PROPERTIES *props);
IMA_API IMA_STATUS IMA_VMW_GetLhbaProperties(IMA_OID lhbaOid, IMA_LHBA_PROPERTIES *props);
/* Not cleared first. The VMware variants also write an empty vmwName. */
IMA_API IMA_STATUS IMA_GetPnpProperties(IMA_OID pnpOid, IMA_PNP_PROPERTIES *props);
IMA_API IMA_STATUS IMA_VMW_GetPnpProperties(IMA_OID pnpOid, IMA_PNP_PROPERTIES *props);
IMA_API IMA_STATUS IMA_GetLnpProperties(IMA_OID lnpOid, IMA_LNP_PROPERTIES *props);
IMA_API IMA_STATUS IMA_VMW_GetLnpProperties(IMA_OID lnpOid, IMA_LNP_PROPERTIES *props);
/* WORKING unless the port's link is down (LINK_DOWN). Of an LNP or PNP. */
IMA_API IMA_STATUS IMA_GetNetworkPortStatus(IMA_OID portOid, IMA_NETWORK_PORT_STATUS *status);
/* Writes a firmware image file (imageType 0 to 3) to the PHBA's adapter. */
IMA_API IMA_STATUS IMA_PhbaDownload(IMA_OID phbaOid, IMA_UINT imageType, const IMA_WCHAR *fileName);
/* IMA_ERROR_NOT_SUPPORTED for a PHBA. */
IMA_API IMA_STATUS IMA_VMW_SetMtu(IMA_OID phbaOid, IMA_UINT mtu);

#ifdef __cplusplus
}
#endif

#endif /* IMA_H */
