// The five segment templates. Rows without byte code are not listed: a template names its row
// count, and the walk passes over every row that carries no byte code. Live rows of the chip
// templates are the statistics and DMA-status segments (0x70 to 0x73, and 0x80 to 0x82 on the
// generation-3 and -5 chips).
#include "maintenance/core_dump_templates.h"

namespace vx {
namespace {

constexpr CodedRow kVx2Rows[] = {
    // name                             segment dead live compress highest length words
    {"vx2_0000_arm_regs",               0x000, 1, 0, 0,    0, 0x1000, 4},
    {"vx2_0001_mpu_regs",               0x001, 1, 0, 0,    0, 0x1000, 5},
    {"vx2_0002_host_regs",              0x002, 1, 0, 0,    0, 0x1000, 6},
    {"vx2_0003_pmem_ctrl",              0x003, 1, 0, 0,    0, 0x1000, 7},
    {"vx2_0004_ep_regs",                0x004, 1, 0, 0,    0, 0x1000, 8},
    {"vx2_0005_txulp_regs",             0x005, 1, 0, 0,    0, 0x1000, 9},
    {"vx2_0006_rxulp_regs",             0x006, 1, 0, 0,    0, 0x1000, 10},
    {"vx2_0007_ulp_dram",               0x007, 1, 0, 0,    0, 0x8000, 11},
    {"vx2_0008_mac_regs",               0x008, 1, 0, 0,    1, 0x1000, 12},
    {"vx2_0009_phy_regs",               0x009, 1, 0, 0,    1, 0x1000, 4},
    {"vx2_000A_doorbells",              0x00A, 1, 0, 0,    0, 0x1000, 5},
    {"vx2_000B_eq_ctx",                 0x00B, 1, 0, 0,    0, 0x1000, 6},
    {"vx2_000C_cq_ctx",                 0x00C, 1, 0, 0,    0, 0x1000, 7},
    {"vx2_000D_pci_cfg",                0x00D, 1, 0, 0,    0, 0x1000, 27},
    {"vx2_0010_mbox",                   0x010, 1, 0, 0,    0, 0x1000, 11},
    {"vx2_0011_iscsi_ctx",              0x011, 1, 0, 1,    0, 0x40000, 12},
    {"vx2_0012_tcp_ctx",                0x012, 1, 0, 1,    0, 0x40000, 4},
    {"vx2_0013_wrb_ring",               0x013, 1, 0, 0,    0, 0x1000, 5},
    {"vx2_0014_rx_rings",               0x014, 1, 0, 0,    0, 0x1000, 6},
    {"vx2_0015_tx_rings",               0x015, 1, 0, 0,    0, 0x1000, 7},
    {"vx2_0018_hash_tables",            0x018, 1, 0, 0,    0, 0x1000, 10},
    {"vx2_0019_vlan_table",             0x019, 1, 0, 0,    0, 0x1000, 11},
    {"vx2_001A_mcast_table",            0x01A, 1, 0, 0,    0, 0x1000, 12},
    {"vx2_0020_fw_trace",               0x020, 1, 0, 0,    0, 0x4000, 9},
    {"vx2_0021_fw_log",                 0x021, 1, 0, 0,    0, 0x4000, 10},
    {"vx2_0022_fw_heap",                0x022, 1, 0, 1,    0, 0x20000, 11},
    {"vx2_0028_seeprom",                0x028, 1, 0, 0,    0, 0x800, 8},
    {"vx2_0029_flash_dir",              0x029, 1, 0, 0,    0, 0x900, 9},
    {"vx2_0030_timers",                 0x030, 1, 0, 0,    0, 0x1000, 7},
    {"vx2_0031_interrupts",             0x031, 1, 0, 0,    0, 0x1000, 8},
    {"vx2_0040_dma_engines",            0x040, 1, 0, 0,    0, 0x1000, 5},
    {"vx2_0041_dma_desc",               0x041, 1, 0, 0,    0, 0x1000, 6},
    {"vx2_0070_uc_stats",               0x070, 1, 1, 0,    0, 0x1000, 8},
    {"vx2_0071_mac_stats",              0x071, 1, 1, 0,    1, 0x1000, 9},
    {"vx2_0072_rx_stats",               0x072, 1, 1, 0,    0, 0x1000, 10},
    {"vx2_0073_dma_status",             0x073, 1, 1, 0,    0, 0x1000, 11},
};

constexpr CodedRow kVx3Rows[] = {
    // name                             segment dead live compress highest length words
    {"vx3_0000_arm_regs",               0x000, 1, 0, 0,    0, 0x1000, 4},
    {"vx3_0001_mpu_regs",               0x001, 1, 0, 0,    0, 0x1000, 5},
    {"vx3_0002_host_regs",              0x002, 1, 0, 0,    0, 0x1000, 6},
    {"vx3_0003_pmem_ctrl",              0x003, 1, 0, 0,    0, 0x1000, 7},
    {"vx3_0004_ep_regs",                0x004, 1, 0, 0,    0, 0x1000, 8},
    {"vx3_0005_txulp_regs",             0x005, 1, 0, 0,    0, 0x1000, 9},
    {"vx3_0006_rxulp_regs",             0x006, 1, 0, 0,    0, 0x1000, 10},
    {"vx3_0007_ulp_dram",               0x007, 1, 0, 0,    0, 0x8000, 11},
    {"vx3_0008_mac_regs",               0x008, 1, 0, 0,    1, 0x1000, 12},
    {"vx3_0009_phy_regs",               0x009, 1, 0, 0,    1, 0x1000, 4},
    {"vx3_000A_doorbells",              0x00A, 1, 0, 0,    0, 0x1000, 5},
    {"vx3_000B_eq_ctx",                 0x00B, 1, 0, 0,    0, 0x1000, 6},
    {"vx3_000C_cq_ctx",                 0x00C, 1, 0, 0,    0, 0x1000, 7},
    {"vx3_000D_pci_cfg",                0x00D, 1, 0, 0,    0, 0x1000, 27},
    {"vx3_000E_pcie_regs",              0x00E, 1, 0, 0,    0, 0x1000, 9},
    {"vx3_0010_mbox",                   0x010, 1, 0, 0,    0, 0x1000, 11},
    {"vx3_0011_iscsi_ctx",              0x011, 1, 0, 1,    0, 0x40000, 12},
    {"vx3_0012_tcp_ctx",                0x012, 1, 0, 0,    0, 0x1000, 4},
    {"vx3_0013_wrb_ring",               0x013, 1, 0, 0,    0, 0x1000, 5},
    {"vx3_0014_rx_rings",               0x014, 1, 0, 0,    0, 0x1000, 6},
    {"vx3_0015_tx_rings",               0x015, 1, 0, 0,    0, 0x1000, 7},
    {"vx3_0018_hash_tables",            0x018, 1, 0, 0,    0, 0x1000, 10},
    {"vx3_0019_vlan_table",             0x019, 1, 0, 0,    0, 0x1000, 11},
    {"vx3_001A_mcast_table",            0x01A, 1, 0, 0,    0, 0x1000, 12},
    {"vx3_0020_fw_trace",               0x020, 1, 0, 0,    0, 0x4000, 9},
    {"vx3_0021_fw_log",                 0x021, 1, 0, 0,    0, 0x4000, 10},
    {"vx3_0022_fw_heap",                0x022, 1, 0, 1,    0, 0x20000, 11},
    {"vx3_0024_ctx",                    0x024, 1, 0, 1,    0, 0xA0000, 4},
    {"vx3_0028_seeprom",                0x028, 1, 0, 0,    0, 0x800, 8},
    {"vx3_0029_flash_dir",              0x029, 1, 0, 0,    0, 0x900, 9},
    {"vx3_0030_timers",                 0x030, 1, 0, 0,    0, 0x1000, 7},
    {"vx3_0031_interrupts",             0x031, 1, 0, 0,    0, 0x1000, 8},
    {"vx3_0040_dma_engines",            0x040, 1, 0, 0,    0, 0x1000, 5},
    {"vx3_0041_dma_desc",               0x041, 1, 0, 0,    0, 0x1000, 6},
    {"vx3_0070_uc_stats",               0x070, 1, 1, 0,    0, 0x1000, 8},
    {"vx3_0071_mac_stats",              0x071, 1, 1, 0,    1, 0x1000, 9},
    {"vx3_0072_rx_stats",               0x072, 1, 1, 0,    0, 0x1000, 10},
    {"vx3_0073_dma_status",             0x073, 1, 1, 0,    0, 0x1000, 11},
    {"vx3_0080_ep_stats",               0x080, 1, 1, 0,    0, 0x1000, 6},
    {"vx3_0081_ulp_stats",              0x081, 1, 1, 0,    0, 0x1000, 7},
    {"vx3_0082_rdma_status",            0x082, 1, 1, 0,    0, 0x1000, 8},
};

constexpr CodedRow kOrvRows[] = {
    // name                             segment dead live compress highest length words
    {"orv_0000_arm_regs",               0x000, 1, 0, 0,    0, 0x1000, 4},
    {"orv_0001_mpu_regs",               0x001, 1, 0, 0,    0, 0x1000, 5},
    {"orv_0002_host_regs",              0x002, 1, 0, 0,    0, 0x1000, 6},
    {"orv_0003_pmem_ctrl",              0x003, 1, 0, 0,    0, 0x1000, 7},
    {"orv_0004_ep_regs",                0x004, 1, 0, 0,    0, 0x1000, 8},
    {"orv_0005_txulp_regs",             0x005, 1, 0, 0,    0, 0x1000, 9},
    {"orv_0006_rxulp_regs",             0x006, 1, 0, 0,    0, 0x1000, 10},
    {"orv_0007_ulp_dram",               0x007, 1, 0, 0,    0, 0x8000, 11},
    {"orv_0008_mac_regs",               0x008, 1, 0, 0,    3, 0x1000, 12},
    {"orv_0009_phy_regs",               0x009, 1, 0, 0,    3, 0x1000, 4},
    {"orv_000A_doorbells",              0x00A, 1, 0, 0,    0, 0x1000, 5},
    {"orv_000B_eq_ctx",                 0x00B, 1, 0, 0,    0, 0x1000, 6},
    {"orv_000C_cq_ctx",                 0x00C, 1, 0, 0,    0, 0x1000, 7},
    {"orv_000D_pci_cfg",                0x00D, 1, 0, 0,    0, 0x1000, 27},
    {"orv_000E_pcie_regs",              0x00E, 1, 0, 0,    0, 0x1000, 9},
    {"orv_0010_mbox",                   0x010, 1, 0, 0,    0, 0x1000, 11},
    {"orv_0011_iscsi_ctx",              0x011, 1, 0, 1,    0, 0x40000, 12},
    {"orv_0012_tcp_ctx",                0x012, 1, 0, 1,    0, 0x40000, 4},
    {"orv_0013_wrb_ring",               0x013, 1, 0, 0,    0, 0x1000, 5},
    {"orv_0014_rx_rings",               0x014, 1, 0, 0,    0, 0x1000, 6},
    {"orv_0015_tx_rings",               0x015, 1, 0, 0,    0, 0x1000, 7},
    {"orv_0016_rdma_rings",             0x016, 1, 0, 0,    0, 0x1000, 8},
    {"orv_0018_hash_tables",            0x018, 1, 0, 0,    0, 0x1000, 10},
    {"orv_0019_vlan_table",             0x019, 1, 0, 0,    0, 0x1000, 11},
    {"orv_001A_mcast_table",            0x01A, 1, 0, 0,    0, 0x1000, 12},
    {"orv_001B_vport_table",            0x01B, 1, 0, 0,    0, 0x1000, 4},
    {"orv_0020_fw_trace",               0x020, 1, 0, 0,    0, 0x4000, 9},
    {"orv_0021_fw_log",                 0x021, 1, 0, 0,    0, 0x4000, 10},
    {"orv_0022_fw_heap",                0x022, 1, 0, 1,    0, 0x20000, 11},
    {"orv_0024_ctx",                    0x024, 1, 0, 1,    0, 0xA0000, 4},
    {"orv_0028_seeprom",                0x028, 1, 0, 0,    0, 0x800, 8},
    {"orv_0029_flash_dir",              0x029, 1, 0, 0,    0, 0x900, 9},
    {"orv_0030_timers",                 0x030, 1, 0, 0,    0, 0x1000, 7},
    {"orv_0031_interrupts",             0x031, 1, 0, 0,    0, 0x1000, 8},
    {"orv_0038_ep_lltxulp_dram",        0x038, 1, 0, 0,    6, 0x1800, 6},
    {"orv_0039_ep_llrxulp_dram",        0x039, 1, 0, 0,    6, 0x1800, 7},
    {"orv_0040_dma_engines",            0x040, 1, 0, 0,    0, 0x1000, 5},
    {"orv_0041_dma_desc",               0x041, 1, 0, 0,    0, 0x1000, 6},
    {"orv_0048_roce_qp_ctx",            0x048, 1, 0, 1,    0, 0x20000, 4},
    {"orv_0049_roce_cq_ctx",            0x049, 1, 0, 0,    0, 0x1000, 5},
    {"orv_0050_sriov_regs",             0x050, 1, 0, 0,   15, 0x400, 12},
    {"orv_0051_vf_doorbells",           0x051, 1, 0, 0,   15, 0x400, 4},
    {"orv_0058_ncsi_regs",              0x058, 1, 0, 0,    0, 0x1000, 11},
    {"orv_0059_lldp_state",             0x059, 1, 0, 0,    0, 0x1000, 12},
    {"orv_005A_dcbx_state",             0x05A, 1, 0, 0,    0, 0x1000, 4},
    {"orv_0060_temp_sensors",           0x060, 1, 0, 0,    0, 0x100, 10},
    {"orv_0070_uc_stats",               0x070, 1, 1, 0,    0, 0x1000, 8},
    {"orv_0071_mac_stats",              0x071, 1, 1, 0,    3, 0x1000, 9},
    {"orv_0072_rx_stats",               0x072, 1, 1, 0,    0, 0x1000, 10},
    {"orv_0073_dma_status",             0x073, 1, 1, 0,    0, 0x1000, 11},
    {"orv_0080_ep_stats",               0x080, 1, 1, 0,    0, 0x1000, 6},
    {"orv_0081_ulp_stats",              0x081, 0, 1, 0,    0, 0x1000, 7},
    {"orv_0082_rdma_status",            0x082, 0, 1, 0,    0, 0x1000, 8},
    {"orv_0100_phy_fw_state",           0x100, 1, 0, 0,    0, 0x1000, 8},
    {"orv_0150_netc_ram",               0x150, 0, 0, 1,    0, 0x80000, 7},
};

constexpr CodedRow kPyxRows[] = {
    // name                             segment dead live compress highest length words
    {"pyx_0000_sram",                   0x000, 1, 0, 1,    0, 0x40000, 4},
    {"pyx_000D_pci_cfg",                0x00D, 1, 0, 0,    0, 0x1000, 27},
    {"pyx_0100_ddr",                    0x100, 1, 0, 1,    0, 0x10000000, 8},
};

constexpr CodedRow kTestRows[] = {
    // name                             segment dead live compress highest length words
    {"test_0000_arm_regs",              0x000, 1, 1, 0,    0, 0x1000, 4},
    {"test_0001_mpu_regs",              0x001, 1, 1, 0,    0, 0x1000, 5},
    {"test_0010_mbox",                  0x010, 1, 1, 0,    0, 0x1000, 11},
    {"test_0020_fw_trace",              0x020, 1, 1, 0,    0, 0x4000, 9},
    {"test_0021_fw_log",                0x021, 1, 1, 0,    0, 0x4000, 10},
    {"test_0030_timers",                0x030, 1, 1, 0,    0, 0x1000, 7},
    {"test_0040_dma_desc",              0x040, 1, 1, 0,    1, 0x1000, 5},
    {"test_0070_uc_stats",              0x070, 1, 1, 0,    0, 0x1000, 8},
    {"test_0080_ep_stats",              0x080, 1, 1, 0,    0, 0x1000, 6},
    {"test_00A0_dead_only_regs",        0x0A0, 1, 0, 0,    0, 0x1000, 11},
    {"test_00A1_dead_only_dram",        0x0A1, 1, 0, 0,    0, 0x8000, 12},
    {"test_00C0_live_only_regs",        0x0C0, 0, 1, 0,    0, 0x1000, 7},
    {"test_00D6_audit_instances",       0x0D6, 1, 1, 0, 4095, 0x40, 11},
};
template <size_t N>
constexpr SegmentTemplate make(const char* name, uint32_t rows, uint8_t flag1, const CodedRow (&coded)[N]) {
  return SegmentTemplate{name, rows, flag1, coded, N};
}

constexpr SegmentTemplate kVx2Template = make("vx2_template", 306, 1, kVx2Rows);
constexpr SegmentTemplate kVx3Template = make("vx3_template", 306, 1, kVx3Rows);
constexpr SegmentTemplate kOrvTemplate = make("orv_template", 338, 1, kOrvRows);
constexpr SegmentTemplate kPyxTemplate = make("pyx_template", 258, 1, kPyxRows);
constexpr SegmentTemplate kTestTemplate = make("test_template", 223, 0, kTestRows);

// Placeholder words: a marker, the segment id and the word's place.
constexpr uint32_t kByteCodeMarker = 0xBC000000u;

}  // namespace

const SegmentTemplate* chip_template(uint32_t asic_type) {
  switch (asic_type) {
    case 2: return &kVx2Template;
    case 3: return &kVx3Template;
    case 5: return &kOrvTemplate;
    case 6: return &kPyxTemplate;
    default: return nullptr;
  }
}

const SegmentTemplate& test_template() { return kTestTemplate; }

uint32_t byte_code_word(const CodedRow& row, uint32_t index) {
  return kByteCodeMarker | (static_cast<uint32_t>(row.segment) << 12) | (index & 0xFFFu);
}

}  // namespace vx
