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

/* ---- discovery --------------------------------------------------------------------------------- */
/* The discovery settings of the PHBA of an LHBA, PHBA or network portal (not cleared first). */
IMA_API IMA_STATUS IMA_GetDiscoveryProperties(IMA_OID oid, IMA_DISCOVERY_PROPERTIES *props);
/* IMA_VMW_DISCOVERY_STATUS_FAILED once a rediscovery of this process had a step fail, else _OK. */
IMA_API IMA_STATUS IMA_VMW_GetDiscoveryStatus(IMA_OID phbaOid, IMA_UINT32 *status);
/* Discovery settings cannot be changed: IMA_ERROR_NOT_SUPPORTED for an LHBA, PHBA or network
   portal; a value out of range (enable above 1, method above 2) is refused before the identifier. */
IMA_API IMA_STATUS IMA_SetIsnsDiscovery(IMA_OID oid, IMA_BOOL enable, IMA_UINT32 method, const IMA_HOST_ID *isnsHost);
IMA_API IMA_STATUS IMA_SetSlpDiscovery(IMA_OID oid, IMA_BOOL enable);
IMA_API IMA_STATUS IMA_SetStaticDiscovery(IMA_OID oid, IMA_BOOL enable);

/* SendTargets discovery addresses of an LHBA (or of the first LHBA of a PNP's PHBA). */
IMA_API IMA_STATUS IMA_GetDiscoveryAddressOidList(IMA_OID oid, IMA_OID_LIST **list);
/* Not cleared first. */
IMA_API IMA_STATUS IMA_GetDiscoveryAddressProperties(IMA_OID addressOid, IMA_DISCOVERY_ADDRESS_PROPERTIES *props);
/* Adds the address (port 0: 3260) and discovers its targets; a failed discovery still returns the
   new address. An address and port already present, or a port below 1024, give
   IMA_ERROR_INVALID_PARAMETER. */
IMA_API IMA_STATUS IMA_AddDiscoveryAddress(IMA_OID oid, IMA_TARGET_ADDRESS address, IMA_OID *newOid);
IMA_API IMA_STATUS IMA_RemoveDiscoveryAddress(IMA_OID addressOid);

/* Static discovery targets: one per portal of every target of the LHBA, grouped by target. */
IMA_API IMA_STATUS IMA_GetStaticDiscoveryTargetOidList(IMA_OID oid, IMA_OID_LIST **list);
IMA_API IMA_STATUS IMA_VMW_GetStaticDiscoveryTargetOidList(IMA_OID oid, IMA_OID_LIST **list);
/* Cleared first. The VMware variant also takes a TARGET identifier. */
IMA_API IMA_STATUS IMA_GetStaticDiscoveryTargetProperties(IMA_OID oid, IMA_STATIC_DISCOVERY_TARGET_PROPERTIES *props);
IMA_API IMA_STATUS IMA_VMW_GetStaticDiscoveryTargetProperties(IMA_OID oid,
                                                              IMA_STATIC_DISCOVERY_TARGET_PROPERTIES *props);
/* Adds the target with this portal; when a target of that name exists, adds the portal to it. The
   new portal's identifier is written to *newOid (cleared first). */
IMA_API IMA_STATUS IMA_AddStaticDiscoveryTarget(IMA_OID oid, IMA_STATIC_DISCOVERY_TARGET target, IMA_OID *newOid);
/* Logs out the sessions to that portal, then deletes the portal, or the whole target when it was
   its only portal. A failed log-out leaves both. */
IMA_API IMA_STATUS IMA_RemoveStaticDiscoveryTarget(IMA_OID oid);

/* ---- targets, logical units, sessions and connections ----------------------------------------- */
/* One TARGET identifier per target of an LHBA (or of an LNP's first LHBA) that has a portal; it
   names the target's lowest-numbered portal. */
IMA_API IMA_STATUS IMA_GetTargetOidList(IMA_OID oid, IMA_OID_LIST **list);
IMA_API IMA_STATUS IMA_VMW_GetTargetOidList(IMA_OID oid, IMA_OID_LIST **list);
/* Not cleared first. */
IMA_API IMA_STATUS IMA_GetTargetProperties(IMA_OID targetOid, IMA_TARGET_PROPERTIES *props);
/* The logical units of every target of an LHBA, in target order, or of one target. */
IMA_API IMA_STATUS IMA_GetLuOidList(IMA_OID oid, IMA_OID_LIST **list);
/* Cleared first. */
IMA_API IMA_STATUS IMA_GetLuProperties(IMA_OID luOid, IMA_LU_PROPERTIES *props);
/* IMA_ERROR_NOT_SUPPORTED after its checks (buffers, length, sendToWellKnownLun 0 or 1, identifier). */
IMA_API IMA_STATUS IMA_LuReportLuns(IMA_OID oid, IMA_BOOL sendToWellKnownLun, IMA_BYTE selectReport,
                                    IMA_BYTE *outputBuffer, IMA_UINT *outputLength, IMA_BYTE *senseBuffer,
                                    IMA_UINT *senseLength);
/* The open sessions of every target of an LHBA, or of one target. */
IMA_API IMA_STATUS IMA_GetSessionOidList(IMA_OID oid, IMA_OID_LIST **list);
/* Cleared first. */
IMA_API IMA_STATUS IMA_GetSessionProperties(IMA_OID sessionOid, IMA_SESSION_PROPERTIES *props);
IMA_API IMA_STATUS IMA_GetConnectionOidList(IMA_OID sessionOid, IMA_OID_LIST **list);
/* Not cleared first; hostOwned1 and hostOwned2 are never written. */
IMA_API IMA_STATUS IMA_GetConnectionProperties(IMA_OID connectionOid, IMA_CONNECTION_PROPERTIES *props);
/* Not cleared first. */
IMA_API IMA_STATUS IMA_VMW_GetConnectionStatus(IMA_OID connectionOid, IMA_VMW_CONNECTION_STATUS *status);
/* Of an LHBA: logs out the first session of every target that has one; of a target: its first
   session; of a session: that session (IMA_ERROR_LOGOUT_REFUSED when the adapter refuses). */
IMA_API IMA_STATUS IMA_VMW_RemoveSession(IMA_OID oid);
/* Of an LHBA or a target: logs in to every portal without a live session; of a session: one more
   session to the same destination. */
IMA_API IMA_STATUS IMA_VMW_AddSession(IMA_OID oid);
/* Of a PHBA: SendTargets discovery through every discovery address of its logical HBA, then a log-in
   to every portal without a live session; IMA_ERROR_GENERAL when a walk fails. Of an LHBA: nothing. */
IMA_API IMA_STATUS IMA_VMW_Rediscover(IMA_OID oid);

#ifdef __cplusplus
}
#endif

#endif /* IMA_H */
