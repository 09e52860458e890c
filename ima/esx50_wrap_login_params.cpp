// Login parameters: every reader and setter is one row of kParams, run by login_parameter. The
// numeric keys and the order flags are the logical HBA's fixed defaults
// (InitiatorDefaultLoginOptions); ImmediateData, InitialR2T and the digests belong to the level
// of the identifier (InitiatorLoginOptions, TargetLoginOptions or SendTargetPortalLoginOptions).
// Only the digests and ImmediateData can be changed; the marker keys are not supported.
#include <strings.h>

#include <cstdlib>
#include <cstring>

#include "ima/front.h"
#include "ima/levels.h"
#include "schema/names_iscsi.h"

namespace vx {
namespace {

constexpr uint32_t kLhbaOrTarget = oid_types({IMA_OBJECT_TYPE_LHBA, IMA_OBJECT_TYPE_TARGET});
constexpr const char* kProhibited = "Prohibited";

enum class Op : uint8_t {
  kNumber,         // IMA_MIN_MAX_VALUE of a default, its decimal text
  kDefaultFlag,    // IMA_BOOL_VALUE of a default: true for the number 1
  kLevelFlag,      // IMA_BOOL_VALUE of the level: false for "None" and "No" in any case
  kDigestList,     // the level's digest policy as a list of digests
  kDigestSupport,  // IMA_DIGEST_PROPERTIES: both supported
  kDigestSet,      // the level's digest and its policy, from the first digest given
  kYesNoSet,       // a boolean of the level as "Yes" / "No"
  kNoRecord,       // not supported; the 16-byte record is cleared
  kNoFlag,         // not supported; the value must be 0 or 1
  kNoValue,        // not supported
};

struct Param {
  Op op;
  uint32_t types;         // accepted object types
  const char* key;        // the property read or written
  const char* policy;     // kDigestList, kDigestSet: the digest's policy property
  IMA_BOOL settable;      // kLevelFlag
  IMA_BOOL default_value; // kLevelFlag
};

enum Row : uint8_t {
  kMaxConnections, kMaxOutstandingR2T, kFirstBurstLength, kMaxBurstLength, kDefaultTime2Wait, kDefaultTime2Retain,
  kErrorRecoveryLevel, kMaxRecvDataSegmentLength, kDataPduInOrder, kDataSequenceInOrder, kImmediateData, kInitialR2T,
  kGetHeaderDigest, kGetDataDigest, kDigestProperties, kVmwSetHeaderDigest, kVmwSetDataDigest, kSetHeaderDigest,
  kSetDataDigest, kSetImmediateData, kIFMarker, kIFMarkInt, kOFMarker, kOFMarkInt, kSetDataPduInOrder,
  kSetDataSequenceInOrder, kSetInitialR2T, kSetIFMarker, kSetOFMarker, kSetDefaultTime2Wait, kSetDefaultTime2Retain,
  kSetErrorRecoveryLevel, kSetFirstBurstLength, kSetMaxBurstLength, kSetMaxRecvDataSegmentLength,
  kSetMaxOutstandingR2T, kSetMaxConnections, kSetIFMarkInt, kSetOFMarkInt, kRowCount
};

constexpr Param number(const char* key) { return {Op::kNumber, kLevelTypes, key, nullptr, 0, 0}; }
constexpr Param unsupported(Op op) { return {op, kLhbaOrTarget, nullptr, nullptr, 0, 0}; }

constexpr Param kParams[] = {
    /* kMaxConnections */ number(kPropMaxConnections),
    /* kMaxOutstandingR2T */ number(kPropMaxOutstandingR2T),
    /* kFirstBurstLength */ number(kPropFirstBurstLength),
    /* kMaxBurstLength */ number(kPropMaxBurstLength),
    /* kDefaultTime2Wait */ number(kPropDefaultTime2Wait),
    /* kDefaultTime2Retain */ number(kPropDefaultTime2Retain),
    /* kErrorRecoveryLevel */ number(kPropErrorRecoveryLevel),
    /* kMaxRecvDataSegmentLength */ number(kPropMaxRecvDataSegmentLength),
    /* kDataPduInOrder */ {Op::kDefaultFlag, kLevelTypes, kPropDataPDUInOrder, nullptr, 0, 0},
    /* kDataSequenceInOrder */ {Op::kDefaultFlag, kLevelTypes, kPropDataSequenceInOrder, nullptr, 0, 0},
    /* kImmediateData */ {Op::kLevelFlag, kLevelTypes, kPropImmediateData, nullptr, 1, 1},
    /* kInitialR2T */ {Op::kLevelFlag, kLevelTypes, kPropInitialR2T, nullptr, 0, 0},
    /* kGetHeaderDigest */ {Op::kDigestList, kLevelTypes, kPropHeaderDigest, kPropHeaderParam, 0, 0},
    /* kGetDataDigest */ {Op::kDigestList, kLevelTypes, kPropDataDigest, kPropDataParam, 0, 0},
    /* kDigestProperties */ {Op::kDigestSupport, kLevelTypes, nullptr, nullptr, 0, 0},
    /* kVmwSetHeaderDigest */ {Op::kDigestSet, kLevelTypes, kPropHeaderDigest, kPropHeaderParam, 0, 0},
    /* kVmwSetDataDigest */ {Op::kDigestSet, kLevelTypes, kPropDataDigest, kPropDataParam, 0, 0},
    /* kSetHeaderDigest */ {Op::kDigestSet, kLhbaOrTarget, kPropHeaderDigest, kPropHeaderParam, 0, 0},
    /* kSetDataDigest */ {Op::kDigestSet, kLhbaOrTarget, kPropDataDigest, kPropDataParam, 0, 0},
    /* kSetImmediateData */ {Op::kYesNoSet, kLhbaOrTarget, kPropImmediateData, nullptr, 0, 0},
    /* kIFMarker .. kOFMarkInt */ unsupported(Op::kNoRecord), unsupported(Op::kNoRecord), unsupported(Op::kNoRecord),
    unsupported(Op::kNoRecord),
    /* kSetDataPduInOrder .. kSetOFMarker */ unsupported(Op::kNoFlag), unsupported(Op::kNoFlag),
    unsupported(Op::kNoFlag), unsupported(Op::kNoFlag), unsupported(Op::kNoFlag),
    /* kSetDefaultTime2Wait .. kSetOFMarkInt */ unsupported(Op::kNoValue), unsupported(Op::kNoValue),
    unsupported(Op::kNoValue), unsupported(Op::kNoValue), unsupported(Op::kNoValue), unsupported(Op::kNoValue),
    unsupported(Op::kNoValue), unsupported(Op::kNoValue), unsupported(Op::kNoValue), unsupported(Op::kNoValue),
};
static_assert(sizeof kParams / sizeof kParams[0] == kRowCount, "one row per login-parameter entry point");

// What an entry point was given: an out record, a value (or the length of `digests`), a digest
// list to set, or a count and list to fill.
struct Args {
  void* record = nullptr;
  IMA_UINT value = 0;
  const IMA_UINT* digests = nullptr;
  IMA_UINT* count_out = nullptr;
  IMA_UINT* digests_out = nullptr;
};

// The argument checks made before the identifier's; the records are cleared here.
bool arguments_sound(const Param& param, const Args& args) {
  switch (param.op) {
    case Op::kNumber:
    case Op::kDefaultFlag:
    case Op::kLevelFlag:
    case Op::kNoRecord: {
      if (args.record == nullptr) return false;
      const bool number = param.op == Op::kNumber;
      std::memset(args.record, 0, number ? sizeof(IMA_MIN_MAX_VALUE) : sizeof(IMA_BOOL_VALUE));
      return true;
    }
    case Op::kDigestList:
      if (args.count_out == nullptr || args.digests_out == nullptr) return false;
      args.digests_out[0] = IMA_DIGEST_NONE;
      return true;
    case Op::kDigestSupport:
      if (args.record == nullptr) return false;
      std::memset(args.record, 0, sizeof(IMA_DIGEST_PROPERTIES));
      return true;
    case Op::kDigestSet: return args.digests != nullptr && args.value != 0;
    case Op::kYesNoSet:
    case Op::kNoFlag: return args.value <= 1;
    case Op::kNoValue: return true;
  }
  return false;
}

// The group a row reads or writes: the logical HBA's defaults, or the level's login options.
uint32_t group_of(const Param& param, const IMA_OID& oid, int32_t* group) {
  if (param.op != Op::kNumber && param.op != Op::kDefaultFlag) return login_options_of(oid, group);
  int32_t lhba = 0;
  const uint32_t status = lhba_of_level(oid, &lhba);
  return status != 0 ? status : group_at(lhba, kGroupInitiatorDefaultLoginOptions, group);
}

IMA_STATUS read_value(const Param& param, int32_t group, const Args& args) {
  char text[kTextSize];
  const char* property = param.op == Op::kDigestList ? param.policy : param.key;
  const uint32_t read = GetVaruPropertyVal(group, property, text);
  if (read != 0) return ErrorCheck(read);
  const auto number = static_cast<uint32_t>(std::strtol(text, nullptr, 10));   // no number reads as 0
  if (param.op == Op::kNumber) {   // valid only once read
    static_cast<IMA_MIN_MAX_VALUE*>(args.record)->currentValueValid = 1;
    static_cast<IMA_MIN_MAX_VALUE*>(args.record)->currentValue = number;
  } else if (param.op == Op::kDefaultFlag) {
    static_cast<IMA_BOOL_VALUE*>(args.record)->currentValue = number == 1 ? 1 : 0;
  } else if (param.op == Op::kLevelFlag) {
    static_cast<IMA_BOOL_VALUE*>(args.record)->currentValue =
        strcasecmp(text, "None") == 0 || strcasecmp(text, "No") == 0 ? 0 : 1;
  } else if (std::strcmp(text, kProhibited) == 0) {   // kDigestList
    *args.count_out = 1;
    args.digests_out[0] = IMA_DIGEST_NONE;
  } else {
    *args.count_out = 2;
    args.digests_out[0] = IMA_DIGEST_CRC32C;
    args.digests_out[1] = IMA_DIGEST_NONE;
  }
  return IMA_STATUS_SUCCESS;
}

// Writes (property, text) pairs in order, stopping at the first refusal; the earlier ones stay.
IMA_STATUS write_values(int32_t group, std::initializer_list<std::pair<const char*, const char*>> values) {
  for (const auto& [property, text] : values) {
    const uint32_t written = SetVaruPropertyVal(group, "", property, text);
    if (written != 0) return ErrorCheck(written);
  }
  return IMA_STATUS_SUCCESS;
}

IMA_STATUS login_parameter(Row row, const IMA_OID& oid, const Args& args) {
  return guarded([&] {
    const Param& param = kParams[row];
    if (!arguments_sound(param, args)) return IMA_ERROR_INVALID_PARAMETER;
    const IMA_STATUS status = check_oid(oid, param.types);
    if (status != IMA_STATUS_SUCCESS) return status;
    switch (param.op) {
      case Op::kNoRecord:
      case Op::kNoFlag:
      case Op::kNoValue: return IMA_ERROR_NOT_SUPPORTED;
      case Op::kDigestSupport: {
        auto* props = static_cast<IMA_DIGEST_PROPERTIES*>(args.record);
        props->headerDigestSupported = props->dataDigestSupported = 1;
        return IMA_STATUS_SUCCESS;
      }
      case Op::kDefaultFlag:
      case Op::kLevelFlag: {
        auto* flag = static_cast<IMA_BOOL_VALUE*>(args.record);
        *flag = IMA_BOOL_VALUE{1, param.settable, 0, param.default_value};
        break;
      }
      default: break;
    }
    int32_t group = 0;
    const uint32_t walk = group_of(param, oid, &group);
    if (walk != 0) return ErrorCheck(walk);
    if (param.op == Op::kYesNoSet) return write_values(group, {{param.key, args.value == 1 ? "Yes" : "No"}});
    if (param.op != Op::kDigestSet) return read_value(param, group, args);
    // Switched on, the digest is written before its policy; switched off, the policy first.
    if (args.digests[0] == IMA_DIGEST_CRC32C) {
      return write_values(group, {{param.key, "CRC32C"}, {param.policy, "Preferred"}});
    }
    return write_values(group, {{param.policy, kProhibited}, {param.key, "None"}});
  });
}

}  // namespace
}  // namespace vx

using namespace vx;

// One exported name per row, by the shape of its arguments.
#define VX_GET(name, row, Record) \
  IMA_API IMA_STATUS name(IMA_OID oid, Record* props) { return login_parameter(row, oid, Args{props}); }
#define VX_SET_VALUE(name, row, Value) \
  IMA_API IMA_STATUS name(IMA_OID oid, Value value) { return login_parameter(row, oid, Args{nullptr, value}); }
#define VX_GET_DIGESTS(name, row)                                                    \
  IMA_API IMA_STATUS name(IMA_OID oid, IMA_UINT* count, IMA_UINT* digests) {        \
    return login_parameter(row, oid, Args{nullptr, 0, nullptr, count, digests});     \
  }
#define VX_SET_DIGESTS(name, row)                                                    \
  IMA_API IMA_STATUS name(IMA_OID oid, IMA_UINT count, const IMA_UINT* digests) {   \
    return login_parameter(row, oid, Args{nullptr, count, digests});                 \
  }

extern "C" {

VX_GET(IMA_GetMaxConnectionsProperties, kMaxConnections, IMA_MIN_MAX_VALUE)
VX_GET(IMA_GetMaxOutstandingR2TProperties, kMaxOutstandingR2T, IMA_MIN_MAX_VALUE)
VX_GET(IMA_GetFirstBurstLengthProperties, kFirstBurstLength, IMA_MIN_MAX_VALUE)
VX_GET(IMA_GetMaxBurstLengthProperties, kMaxBurstLength, IMA_MIN_MAX_VALUE)
VX_GET(IMA_GetDefaultTime2WaitProperties, kDefaultTime2Wait, IMA_MIN_MAX_VALUE)
VX_GET(IMA_GetDefaultTime2RetainProperties, kDefaultTime2Retain, IMA_MIN_MAX_VALUE)
VX_GET(IMA_GetErrorRecoveryLevelProperties, kErrorRecoveryLevel, IMA_MIN_MAX_VALUE)
VX_GET(IMA_GetMaxRecvDataSegmentLengthProperties, kMaxRecvDataSegmentLength, IMA_MIN_MAX_VALUE)
VX_GET(IMA_GetDataPduInOrderProperties, kDataPduInOrder, IMA_BOOL_VALUE)
VX_GET(IMA_GetDataSequenceInOrderProperties, kDataSequenceInOrder, IMA_BOOL_VALUE)
VX_GET(IMA_GetImmediateDataProperties, kImmediateData, IMA_BOOL_VALUE)
VX_GET(IMA_GetInitialR2TProperties, kInitialR2T, IMA_BOOL_VALUE)
VX_GET_DIGESTS(IMA_VMW_GetHeaderDigest, kGetHeaderDigest)
VX_GET_DIGESTS(IMA_VMW_GetDataDigest, kGetDataDigest)
VX_GET(IMA_GetDigestProperties, kDigestProperties, IMA_DIGEST_PROPERTIES)
VX_SET_DIGESTS(IMA_VMW_SetHeaderDigest, kVmwSetHeaderDigest)
VX_SET_DIGESTS(IMA_VMW_SetDataDigest, kVmwSetDataDigest)
VX_SET_DIGESTS(IMA_SetHeaderDigestValues, kSetHeaderDigest)
VX_SET_DIGESTS(IMA_SetDataDigestValues, kSetDataDigest)
VX_SET_VALUE(IMA_SetImmediateData, kSetImmediateData, IMA_BOOL)
VX_GET(IMA_GetIFMarkerProperties, kIFMarker, IMA_BOOL_VALUE)
VX_GET(IMA_GetIFMarkIntProperties, kIFMarkInt, IMA_BOOL_VALUE)
VX_GET(IMA_GetOFMarkerProperties, kOFMarker, IMA_BOOL_VALUE)
VX_GET(IMA_GetOFMarkIntProperties, kOFMarkInt, IMA_BOOL_VALUE)
VX_SET_VALUE(IMA_SetDataPduInOrder, kSetDataPduInOrder, IMA_BOOL)
VX_SET_VALUE(IMA_SetDataSequenceInOrder, kSetDataSequenceInOrder, IMA_BOOL)
VX_SET_VALUE(IMA_SetInitialR2T, kSetInitialR2T, IMA_BOOL)
VX_SET_VALUE(IMA_SetIFMarkerProperties, kSetIFMarker, IMA_BOOL)
VX_SET_VALUE(IMA_SetOFMarkerProperties, kSetOFMarker, IMA_BOOL)
VX_SET_VALUE(IMA_SetDefaultTime2Wait, kSetDefaultTime2Wait, IMA_UINT)
VX_SET_VALUE(IMA_SetDefaultTime2Retain, kSetDefaultTime2Retain, IMA_UINT)
VX_SET_VALUE(IMA_SetErrorRecoveryLevel, kSetErrorRecoveryLevel, IMA_UINT)
VX_SET_VALUE(IMA_SetFirstBurstLength, kSetFirstBurstLength, IMA_UINT)
VX_SET_VALUE(IMA_SetMaxBurstLength, kSetMaxBurstLength, IMA_UINT)
VX_SET_VALUE(IMA_SetMaxRecvDataSegmentLength, kSetMaxRecvDataSegmentLength, IMA_UINT)
VX_SET_VALUE(IMA_SetMaxOutstandingR2T, kSetMaxOutstandingR2T, IMA_UINT)
VX_SET_VALUE(IMA_SetMaxConnections, kSetMaxConnections, IMA_UINT)
VX_SET_VALUE(IMA_SetIFMarkIntProperties, kSetIFMarkInt, IMA_UINT)
VX_SET_VALUE(IMA_SetOFMarkIntProperties, kSetOFMarkInt, IMA_UINT)

}  // extern "C"
