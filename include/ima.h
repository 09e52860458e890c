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
/* ---- authentication ---------------------------------------------------------------------------- */
/* Levels: an LHBA (the initiator's defaults), a TARGET or STATIC_DISCOVERY_TARGET (its target) and a
   DISCOVERY_ADDRESS (its SendTargets portal). The one-way ("initiator") credentials are those with
   which the target authenticates the initiator; the mutual ones those with which the initiator
   authenticates the target. Every method argument must be IMA_AUTHMETHOD_CHAP unless said
   otherwise; credentials must end within their fields, and where a secret is checked it has 12 to
   16 characters (else IMA_ERROR_INVALID_PARAMETER, nothing changed). A setter given no policy (the
   standard entry points, or a policy word other than DISCOURAGED, PREFERRED or REQUIRED) keeps the
   level's CHAP policy while CHAP is in use. Method lists hold at most two distinct methods; the
   in-use lists are written with up to 2 entries. */
/* NONE then CHAP, at most *methodCount of them (in: capacity, out: written). */
IMA_API IMA_STATUS IMA_GetSupportedAuthMethods(IMA_OID lhbaOid, IMA_BOOL getSettableMethods, IMA_UINT *methodCount,
                                               IMA_AUTHMETHOD *methodList);
IMA_API IMA_STATUS IMA_VMW_GetSupportedAuthMethods(IMA_OID oid, IMA_BOOL getSettableMethods, IMA_UINT *methodCount,
                                                   IMA_AUTHMETHOD *methodList);
/* IMA_ERROR_NOT_SUPPORTED, without any check. */
IMA_API IMA_STATUS IMA_VMW_GetSupportedMutualAuthMethods(IMA_OID oid, IMA_BOOL getSettableMethods,
                                                         IMA_UINT *methodCount, IMA_AUTHMETHOD *methodList);
IMA_API IMA_STATUS IMA_VMW_SetMutualAuthMethods(IMA_OID oid, IMA_UINT methodCount, const IMA_AUTHMETHOD *methodList);
/* The list as a CHAP policy: CHAP required, NONE prohibited (CHAP switched off), CHAP then NONE
   preferred, NONE then CHAP discouraged. Switching CHAP on uses placeholder credentials; while CHAP
   is on its current credentials are kept. */
IMA_API IMA_STATUS IMA_SetInitiatorAuthMethods(IMA_OID lhbaOid, IMA_UINT methodCount, const IMA_AUTHMETHOD *methodList);
IMA_API IMA_STATUS IMA_VMW_SetInitiatorAuthMethods(IMA_OID oid, IMA_UINT methodCount,
                                                   const IMA_AUTHMETHOD *methodList);
/* The policy as a method list; the VMware variant prefers a session of the target to one of its
   portals. */
IMA_API IMA_STATUS IMA_GetInUseInitiatorAuthMethods(IMA_OID lhbaOid, IMA_UINT *methodCount,
                                                    IMA_AUTHMETHOD *methodList);
IMA_API IMA_STATUS IMA_VMW_GetInUseInitiatorLocalAuthMethods(IMA_OID oid, IMA_UINT *methodCount,
                                                             IMA_AUTHMETHOD *methodList);
/* One-way credentials of any level (cleared first; left clear unless one-way CHAP is in use). */
IMA_API IMA_STATUS IMA_GetInitiatorAuthParms(IMA_OID oid, IMA_AUTHMETHOD method, IMA_INITIATOR_AUTHPARMS *parms);
/* Sets one-way CHAP; method NONE changes nothing. */
IMA_API IMA_STATUS IMA_SetInitiatorAuthParms(IMA_OID lhbaOid, IMA_AUTHMETHOD method,
                                             const IMA_INITIATOR_AUTHPARMS *parms);
/* Sets one-way CHAP with the policy word (NONE or CHAP accepted); the word PROHIBITED switches CHAP
   off. */
IMA_API IMA_STATUS IMA_VMW_SetInitiatorAuthParms(IMA_OID oid, IMA_AUTHMETHOD method,
                                                 const IMA_INITIATOR_AUTHPARMS *parms);
/* One-way credentials of a target (of its matching session when there is one) or SendTargets
   portal; cleared first, *enabled 0 when CHAP is off. */
IMA_API IMA_STATUS IMA_GetInitiatorLocalAuthParms(IMA_OID oid, IMA_AUTHMETHOD method, IMA_INITIATOR_AUTHPARMS *parms,
                                                  IMA_BOOL *enabled);
/* enable 1 sets one-way CHAP, anything else switches CHAP off. */
IMA_API IMA_STATUS IMA_SetInitiatorLocalAuthParms(IMA_OID oid, IMA_AUTHMETHOD method,
                                                  const IMA_INITIATOR_AUTHPARMS *parms, IMA_BOOL enable);
/* Mutual credentials added to the one-way CHAP in use (none in use: IMA_ERROR_INVALID_PARAMETER);
   the policy word PROHIBITED changes nothing. */
IMA_API IMA_STATUS IMA_AddLhbaMutualAuthParms(IMA_OID lhbaOid, IMA_AUTHMETHOD method,
                                              const IMA_INITIATOR_AUTHPARMS *parms);
/* One entry; on a failure the list is freed and *list set to NULL. */
IMA_API IMA_STATUS IMA_GetLhbaMutualAuthParmsList(IMA_OID lhbaOid, IMA_AUTHMETHOD method,
                                                  IMA_INITIATOR_AUTHPARMS_LIST **list);
/* Ends mutual CHAP: one-way CHAP stays with its credentials. parms is not read. */
IMA_API IMA_STATUS IMA_RemoveLhbaMutualAuthParms(IMA_OID lhbaOid, IMA_AUTHMETHOD method,
                                                 const IMA_INITIATOR_AUTHPARMS *parms);
/* Mutual credentials (cleared first). The VMware variant leaves them clear with the policy word
   PROHIBITED unless mutual CHAP is in use. */
IMA_API IMA_STATUS IMA_GetMutualLocalAuthParms(IMA_OID oid, IMA_AUTHMETHOD method, IMA_INITIATOR_AUTHPARMS *parms);
IMA_API IMA_STATUS IMA_VMW_GetMutualAuthParms(IMA_OID oid, IMA_AUTHMETHOD method, IMA_INITIATOR_AUTHPARMS *parms);
/* As IMA_AddLhbaMutualAuthParms, at any level. */
IMA_API IMA_STATUS IMA_VMW_SetMutualAuthParms(IMA_OID oid, IMA_AUTHMETHOD method,
                                              const IMA_INITIATOR_AUTHPARMS *parms);
/* enable 1 sets mutual CHAP (placeholder one-way credentials when CHAP was off); anything else ends
   mutual CHAP as IMA_RemoveLhbaMutualAuthParms does. */
IMA_API IMA_STATUS IMA_SetMutualLocalAuthParms(IMA_OID oid, IMA_AUTHMETHOD method,
                                               const IMA_INITIATOR_AUTHPARMS *parms, IMA_BOOL enable);
/* enable 1 switches mutual CHAP on with placeholder mutual credentials, keeping one-way ones in use;
   anything else ends mutual CHAP. */
IMA_API IMA_STATUS IMA_SetMutualLocalAuth(IMA_OID oid, IMA_AUTHMETHOD method, IMA_BOOL enable);

/* ---- network portals and IP configuration ------------------------------------------------------ */
/* The network portal of an LNP. */
IMA_API IMA_STATUS IMA_GetNetworkPortalOidList(IMA_OID lnpOid, IMA_OID_LIST **list);
/* Not cleared first. */
IMA_API IMA_STATUS IMA_GetNetworkPortalProperties(IMA_OID portalOid, IMA_NETWORK_PORTAL_PROPERTIES *props);
/* Of a PHBA or network portal; IMA_ERROR_NOT_SUPPORTED (and no record) without IPv6. */
IMA_API IMA_STATUS IMA_VMW_GetNetworkPortalProperties(IMA_OID oid, IMA_VMW_NETWORK_PORTAL_PROPERTIES **props);
/* IMA_GetIpProperties (PNP) writes only the fields it fills; the VMware variant (PHBA, PNP) clears
   the record first. */
IMA_API IMA_STATUS IMA_GetIpProperties(IMA_OID pnpOid, IMA_IP_PROPERTIES *props);
IMA_API IMA_STATUS IMA_VMW_GetIpProperties(IMA_OID oid, IMA_IP_PROPERTIES *props);
/* Of a PHBA or PNP; IMA_ERROR_NOT_SUPPORTED with the IPv4 part filled on another maker's adapter. */
IMA_API IMA_STATUS IMA_VMW_GetExtendedIpProperties(IMA_OID oid, IMA_VMW_EXTENDED_IP_PROPERTIES *props);
/* Cleared first. */
IMA_API IMA_STATUS IMA_VMW_GetMtuProperties(IMA_OID phbaOid, IMA_MIN_MAX_VALUE *props);
IMA_API IMA_STATUS IMA_VMW_GetArpRedirectProperties(IMA_OID phbaOid, IMA_VMW_ARP_REDIRECT_PROPERTIES *props);
/* The portals of the target of a TARGET or STATIC_DISCOVERY_TARGET (none for a DISCOVERY_ADDRESS). */
IMA_API IMA_STATUS IMA_GetAddressKeys(IMA_OID oid, IMA_ADDRESS_KEYS **keys);
/* Sets the IPv4 address (the first four bytes); an unset mask becomes 255.255.255.0. */
IMA_API IMA_STATUS IMA_SetNetworkPortalIpAddress(IMA_OID portalOid, const IMA_IP_ADDRESS *address);
/* ipv6 0: as above; else the static IPv6 address, or all zeros when useAddress is not 1 (address
   may then be NULL). */
IMA_API IMA_STATUS IMA_VMW_SetNetworkPortalIpAddress(IMA_OID phbaOid, const IMA_IP_ADDRESS *address, IMA_BOOL ipv6,
                                                     IMA_BOOL useAddress);
/* Of a PHBA, LNP or PNP. The gateway setters keep the previous gateway when the new one is
   refused, and report the refusal. IMA_VMW_SetDefaultGateway sets the IPv6 gateway for an IPv6
   address. */
IMA_API IMA_STATUS IMA_SetSubnetMask(IMA_OID oid, IMA_IP_ADDRESS subnetMask);
IMA_API IMA_STATUS IMA_VMW_SetSubnetMask(IMA_OID oid, IMA_IP_ADDRESS subnetMask);
IMA_API IMA_STATUS IMA_SetDefaultGateway(IMA_OID oid, IMA_IP_ADDRESS defaultGateway);
IMA_API IMA_STATUS IMA_VMW_SetDefaultGateway(IMA_OID oid, IMA_IP_ADDRESS defaultGateway);
/* DHCP for IPv4 on (1) or off (0), of a PNP. */
IMA_API IMA_STATUS IMA_SetIpConfigMethod(IMA_OID pnpOid, IMA_BOOL enableDhcp);
/* IPv6 auto-configuration on (enable 1; method 1 DHCP, else stateless) or off; of a PHBA or PNP. */
IMA_API IMA_STATUS IMA_VMW_SetIpv6ConfigMethod(IMA_OID oid, IMA_UINT method, IMA_BOOL enable);
/* Success, nothing done. */
IMA_API IMA_STATUS IMA_VMW_EnableIP(IMA_OID oid, IMA_BOOL enable);
/* IMA_ERROR_NOT_SUPPORTED for a PHBA. */
IMA_API IMA_STATUS IMA_VMW_SetArpRedirect(IMA_OID phbaOid, IMA_BOOL enable);

/* ---- login parameters -------------------------------------------------------------------------- */
/* Of an LHBA, TARGET, DISCOVERY_ADDRESS or STATIC_DISCOVERY_TARGET; records cleared first. The
   numeric ones and DataPduInOrder / DataSequenceInOrder report the logical HBA's fixed defaults
   (not settable); ImmediateData and InitialR2T those of the object's level. */
IMA_API IMA_STATUS IMA_GetMaxConnectionsProperties(IMA_OID oid, IMA_MIN_MAX_VALUE *props);
IMA_API IMA_STATUS IMA_GetMaxOutstandingR2TProperties(IMA_OID oid, IMA_MIN_MAX_VALUE *props);
IMA_API IMA_STATUS IMA_GetFirstBurstLengthProperties(IMA_OID oid, IMA_MIN_MAX_VALUE *props);
IMA_API IMA_STATUS IMA_GetMaxBurstLengthProperties(IMA_OID oid, IMA_MIN_MAX_VALUE *props);
IMA_API IMA_STATUS IMA_GetDefaultTime2WaitProperties(IMA_OID oid, IMA_MIN_MAX_VALUE *props);
IMA_API IMA_STATUS IMA_GetDefaultTime2RetainProperties(IMA_OID oid, IMA_MIN_MAX_VALUE *props);
IMA_API IMA_STATUS IMA_GetErrorRecoveryLevelProperties(IMA_OID oid, IMA_MIN_MAX_VALUE *props);
IMA_API IMA_STATUS IMA_GetMaxRecvDataSegmentLengthProperties(IMA_OID oid, IMA_MIN_MAX_VALUE *props);
IMA_API IMA_STATUS IMA_GetDataPduInOrderProperties(IMA_OID oid, IMA_BOOL_VALUE *props);
IMA_API IMA_STATUS IMA_GetDataSequenceInOrderProperties(IMA_OID oid, IMA_BOOL_VALUE *props);
IMA_API IMA_STATUS IMA_GetImmediateDataProperties(IMA_OID oid, IMA_BOOL_VALUE *props);
IMA_API IMA_STATUS IMA_GetInitialR2TProperties(IMA_OID oid, IMA_BOOL_VALUE *props);
/* IMA_DIGEST_NONE alone, or CRC32C then NONE; the list holds 2 entries. */
IMA_API IMA_STATUS IMA_VMW_GetHeaderDigest(IMA_OID oid, IMA_UINT *digestCount, IMA_UINT *digests);
IMA_API IMA_STATUS IMA_VMW_GetDataDigest(IMA_OID oid, IMA_UINT *digestCount, IMA_UINT *digests);
IMA_API IMA_STATUS IMA_GetDigestProperties(IMA_OID oid, IMA_DIGEST_PROPERTIES *props);
/* The first digest decides: CRC32C preferred, anything else none. The standard variants take an
   LHBA or TARGET only. */
IMA_API IMA_STATUS IMA_VMW_SetHeaderDigest(IMA_OID oid, IMA_UINT digestCount, const IMA_UINT *digests);
IMA_API IMA_STATUS IMA_VMW_SetDataDigest(IMA_OID oid, IMA_UINT digestCount, const IMA_UINT *digests);
IMA_API IMA_STATUS IMA_SetHeaderDigestValues(IMA_OID oid, IMA_UINT digestCount, const IMA_UINT *digests);
IMA_API IMA_STATUS IMA_SetDataDigestValues(IMA_OID oid, IMA_UINT digestCount, const IMA_UINT *digests);
/* Of an LHBA or TARGET. */
IMA_API IMA_STATUS IMA_SetImmediateData(IMA_OID oid, IMA_BOOL immediateData);
/* Not supported: IMA_ERROR_NOT_SUPPORTED once the arguments (the record cleared; a boolean 0 or 1)
   and the identifier (LHBA or TARGET) pass. */
IMA_API IMA_STATUS IMA_GetIFMarkerProperties(IMA_OID oid, IMA_BOOL_VALUE *props);
IMA_API IMA_STATUS IMA_GetIFMarkIntProperties(IMA_OID oid, IMA_BOOL_VALUE *props);
IMA_API IMA_STATUS IMA_GetOFMarkerProperties(IMA_OID oid, IMA_BOOL_VALUE *props);
IMA_API IMA_STATUS IMA_GetOFMarkIntProperties(IMA_OID oid, IMA_BOOL_VALUE *props);
IMA_API IMA_STATUS IMA_SetDataPduInOrder(IMA_OID oid, IMA_BOOL value);
IMA_API IMA_STATUS IMA_SetDataSequenceInOrder(IMA_OID oid, IMA_BOOL value);
IMA_API IMA_STATUS IMA_SetInitialR2T(IMA_OID oid, IMA_BOOL value);
IMA_API IMA_STATUS IMA_SetIFMarkerProperties(IMA_OID oid, IMA_BOOL value);
IMA_API IMA_STATUS IMA_SetOFMarkerProperties(IMA_OID oid, IMA_BOOL value);
IMA_API IMA_STATUS IMA_SetDefaultTime2Wait(IMA_OID oid, IMA_UINT value);
IMA_API IMA_STATUS IMA_SetDefaultTime2Retain(IMA_OID oid, IMA_UINT value);
IMA_API IMA_STATUS IMA_SetErrorRecoveryLevel(IMA_OID oid, IMA_UINT value);
IMA_API IMA_STATUS IMA_SetFirstBurstLength(IMA_OID oid, IMA_UINT value);
IMA_API IMA_STATUS IMA_SetMaxBurstLength(IMA_OID oid, IMA_UINT value);
IMA_API IMA_STATUS IMA_SetMaxRecvDataSegmentLength(IMA_OID oid, IMA_UINT value);
IMA_API IMA_STATUS IMA_SetMaxOutstandingR2T(IMA_OID oid, IMA_UINT value);
IMA_API IMA_STATUS IMA_SetMaxConnections(IMA_OID oid, IMA_UINT value);
IMA_API IMA_STATUS IMA_SetIFMarkIntProperties(IMA_OID oid, IMA_UINT value);
IMA_API IMA_STATUS IMA_SetOFMarkIntProperties(IMA_OID oid, IMA_UINT value);

#ifdef __cplusplus
}
#endif

#endif /* IMA_H */
