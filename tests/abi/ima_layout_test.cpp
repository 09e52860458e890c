// The IMA records against the host's layout, written down here from its byte offsets and not taken
// from the project's header; the same numbers hold in the 32-bit and the 64-bit build.
#include <cstddef>

#include <gtest/gtest.h>

#include "ima.h"

extern "C" int ima_header_compiles_as_c(void);

namespace {

struct Layout {
  const char* what;
  size_t actual;
  size_t host;
};

#define SIZE(Record, host) {#Record, sizeof(Record), host}
#define AT(Record, member, host) {#Record "." #member, offsetof(Record, member), host}

const Layout kHostLayouts[] = {
    SIZE(IMA_OID, 16), AT(IMA_OID, ownerId, 4), AT(IMA_OID, sequenceLow, 8), AT(IMA_OID, sequenceHigh, 12),
    SIZE(IMA_OID_LIST, 20), AT(IMA_OID_LIST, oids, 4), SIZE(IMA_IP_ADDRESS, 20), AT(IMA_IP_ADDRESS, ipAddress, 4),
    SIZE(IMA_HOST_ID, 1028), AT(IMA_HOST_ID, id, 4), SIZE(IMA_TARGET_ADDRESS, 1032), AT(IMA_TARGET_ADDRESS, portNumber, 1028),
    SIZE(IMA_PHBA_PROPERTIES, 8868), AT(IMA_PHBA_PROPERTIES, vendor, 0), AT(IMA_PHBA_PROPERTIES, model, 256),
    AT(IMA_PHBA_PROPERTIES, description, 1280), AT(IMA_PHBA_PROPERTIES, serialNumber, 2304),
    AT(IMA_PHBA_PROPERTIES, hardwareVersion, 2560), AT(IMA_PHBA_PROPERTIES, asicVersion, 3584),
    AT(IMA_PHBA_PROPERTIES, firmwareVersion, 4608), AT(IMA_PHBA_PROPERTIES, optionRomVersion, 5632),
    AT(IMA_PHBA_PROPERTIES, driverName, 6656), AT(IMA_PHBA_PROPERTIES, driverVersion, 7680),
    AT(IMA_PHBA_PROPERTIES, supportFlags1, 8704), AT(IMA_PHBA_PROPERTIES, maximumCdbLength, 8712),
    AT(IMA_PHBA_PROPERTIES, supportFlags2, 8716), AT(IMA_PHBA_PROPERTIES, vmwSupportFlags, 8760),
    SIZE(IMA_NODE_PROPERTIES, 2004), AT(IMA_NODE_PROPERTIES, runningInTargetMode, 4), AT(IMA_NODE_PROPERTIES, nameValid, 8),
    AT(IMA_NODE_PROPERTIES, name, 12), AT(IMA_NODE_PROPERTIES, aliasValid, 908), AT(IMA_NODE_PROPERTIES, alias, 912),
    AT(IMA_NODE_PROPERTIES, nameAndAliasSettable, 1936), SIZE(IMA_LHBA_PROPERTIES, 1180),
    AT(IMA_LHBA_PROPERTIES, supportFlags, 1040), AT(IMA_LHBA_PROPERTIES, vmwFlag, 1064),
    AT(IMA_PNP_PROPERTIES, associatedPhbaOid, 0), AT(IMA_PNP_PROPERTIES, macAddress, 16),
    AT(IMA_PNP_PROPERTIES, macAddressSettable, 24), AT(IMA_PNP_PROPERTIES, maximumTransferRate, 28),
    AT(IMA_PNP_PROPERTIES, currentTransferRate, 32), AT(IMA_PNP_PROPERTIES, maximumFrameSize, 36),
    AT(IMA_PNP_PROPERTIES, vmwName, 40), AT(IMA_LNP_PROPERTIES, macAddress, 0),
    AT(IMA_LNP_PROPERTIES, macAddressSettable, 8), AT(IMA_LNP_PROPERTIES, vmwName, 12),
    SIZE(IMA_DATETIME, 44), SIZE(IMA_DISCOVERY_PROPERTIES, 1064), AT(IMA_DISCOVERY_PROPERTIES, iSnsDiscoveryEnabled, 4),
    AT(IMA_DISCOVERY_PROPERTIES, iSnsDiscoveryMethod, 8), AT(IMA_DISCOVERY_PROPERTIES, iSnsHost, 12),
    AT(IMA_DISCOVERY_PROPERTIES, iSnsHost.id.ipAddress.ipAddress, 20), AT(IMA_DISCOVERY_PROPERTIES, slpDiscoverySettable, 1040),
    AT(IMA_DISCOVERY_PROPERTIES, staticDiscoveryEnabled, 1052), AT(IMA_DISCOVERY_PROPERTIES, sendTargetsDiscoveryEnabled, 1060),
    SIZE(IMA_DISCOVERY_ADDRESS_PROPERTIES, 1064), AT(IMA_DISCOVERY_ADDRESS_PROPERTIES, associatedLhbaOid, 16),
    AT(IMA_DISCOVERY_ADDRESS_PROPERTIES, discoveryAddress.hostnameIpAddress.hostnameInUse, 32),
    AT(IMA_DISCOVERY_ADDRESS_PROPERTIES, discoveryAddress.hostnameIpAddress.id.ipAddress, 36),
    AT(IMA_DISCOVERY_ADDRESS_PROPERTIES, discoveryAddress.portNumber, 1060),
    SIZE(IMA_STATIC_DISCOVERY_TARGET, 1928), AT(IMA_STATIC_DISCOVERY_TARGET, targetAddress, 896),
    SIZE(IMA_STATIC_DISCOVERY_TARGET_PROPERTIES, 1968), AT(IMA_STATIC_DISCOVERY_TARGET_PROPERTIES, targetName, 32),
    AT(IMA_STATIC_DISCOVERY_TARGET_PROPERTIES, targetAddress.hostnameIpAddress.hostnameInUse, 928),
    AT(IMA_STATIC_DISCOVERY_TARGET_PROPERTIES, targetAddress.hostnameIpAddress.id.ipAddress, 932),
    AT(IMA_STATIC_DISCOVERY_TARGET_PROPERTIES, targetAddress.portNumber, 1956),
    AT(IMA_STATIC_DISCOVERY_TARGET_PROPERTIES, reserved1, 1960), AT(IMA_STATIC_DISCOVERY_TARGET_PROPERTIES, portalGroupTag, 1964),
    AT(IMA_TARGET_PROPERTIES, name, 32), AT(IMA_TARGET_PROPERTIES, alias, 928), AT(IMA_TARGET_PROPERTIES, discoverySettable, 1956),
    AT(IMA_TARGET_PROPERTIES, discoveryEnabled, 1960), SIZE(IMA_LU_PROPERTIES, 476), AT(IMA_LU_PROPERTIES, targetLun, 16),
    AT(IMA_LU_PROPERTIES, exposedToOs, 24), AT(IMA_LU_PROPERTIES, deviceNameValid, 72), AT(IMA_LU_PROPERTIES, osNumbersValid, 332),
    SIZE(IMA_SESSION_PROPERTIES, 92), AT(IMA_SESSION_PROPERTIES, associatedTargetOid, 16), AT(IMA_SESSION_PROPERTIES, authMethod, 32),
    AT(IMA_SESSION_PROPERTIES, dataPduInOrder, 36), AT(IMA_SESSION_PROPERTIES, dataSequenceInOrder, 40),
    AT(IMA_SESSION_PROPERTIES, defaultTime2Retain, 44), AT(IMA_SESSION_PROPERTIES, defaultTime2Wait, 48),
    AT(IMA_SESSION_PROPERTIES, errorRecoveryLevel, 52), AT(IMA_SESSION_PROPERTIES, firstBurstLength, 56),
    AT(IMA_SESSION_PROPERTIES, immediateData, 60), AT(IMA_SESSION_PROPERTIES, initialR2T, 64), AT(IMA_SESSION_PROPERTIES, isid, 68),
    AT(IMA_SESSION_PROPERTIES, maxBurstLength, 76), AT(IMA_SESSION_PROPERTIES, maxConnections, 80),
    AT(IMA_SESSION_PROPERTIES, maxOutstandingR2T, 84), AT(IMA_SESSION_PROPERTIES, targetPortalGroupTag, 88),
    AT(IMA_SESSION_PROPERTIES, tsih, 90), AT(IMA_CONNECTION_PROPERTIES, connectionId, 16), AT(IMA_CONNECTION_PROPERTIES, dataDigest, 20),
    AT(IMA_CONNECTION_PROPERTIES, headerDigest, 24), AT(IMA_CONNECTION_PROPERTIES, zeroField1, 28),
    AT(IMA_CONNECTION_PROPERTIES, hostOwned1, 32), AT(IMA_CONNECTION_PROPERTIES, maxRecvDataSegmentLength, 36),
    AT(IMA_CONNECTION_PROPERTIES, maxTransmitDataSegmentLength, 40), AT(IMA_CONNECTION_PROPERTIES, zeroField2, 44),
    AT(IMA_CONNECTION_PROPERTIES, hostOwned2, 48), AT(IMA_VMW_CONNECTION_STATUS, destination, 4),
    AT(IMA_VMW_CONNECTION_STATUS, redirectedValid, 24), AT(IMA_VMW_CONNECTION_STATUS, redirected, 28),
    AT(IMA_VMW_CONNECTION_STATUS, sourceValid, 48), AT(IMA_VMW_CONNECTION_STATUS, source, 52),
    AT(IMA_VMW_CONNECTION_STATUS, state, 72),
};

TEST(ImaLayout, RecordsHaveTheHostsSizesAndOffsets) {
  for (const Layout& layout : kHostLayouts) EXPECT_EQ(layout.actual, layout.host) << layout.what;
  // 4-byte units and alignment, as on the host: no 8-byte member anywhere.
  EXPECT_EQ(sizeof(IMA_WCHAR), 4u);
  EXPECT_EQ(alignof(IMA_OID), 4u);
  EXPECT_EQ(alignof(IMA_PHBA_PROPERTIES), 4u);
}

TEST(ImaLayout, HeaderCompilesAsPlainC) {
  EXPECT_EQ(ima_header_compiles_as_c(), static_cast<int>(8868 + 2004));
}

}  // namespace
