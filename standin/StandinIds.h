#pragma once
// The COM identities of the stand-in, one set per platform version it can
// play. The class identifiers are the stand-in's own.
#include <windows.h>

#include <string>

namespace ns::standin {

struct TVersionIds {
  const char* Version;
  const char* ApplicationProgId;
  const char* ApplicationClsid;
  const char* ConnectorProgId;
  const char* ConnectorClsid;
  CLSID ConnectorClass;
};

inline constexpr TVersionIds kVersions[] = {
    {"8.2", "V82.Application", "{D68BA018-1065-4E9D-BB14-F09586A758F0}", "V82.COMConnector",
     "{3D1941E0-1BFC-4BC4-BAB2-014191C76E8D}",
     {0x3d1941e0, 0x1bfc, 0x4bc4, {0xba, 0xb2, 0x01, 0x41, 0x91, 0xc7, 0x6e, 0x8d}}},
    {"8.3", "V83.Application", "{1CB6BF34-B1BA-4EBF-B85D-DA6E3BEE50DA}", "V83.COMConnector",
     "{ACB1DF7F-15D3-48C2-94A3-0CB2CC17A5DB}",
     {0xacb1df7f, 0x15d3, 0x48c2, {0x94, 0xa3, 0x0c, 0xb2, 0xcc, 0x17, 0xa5, 0xdb}}},
};

// The identities of "8.2" or "8.3"; nullptr for anything else.
inline const TVersionIds* FindVersion(const std::string& version) {
  for (const TVersionIds& ids : kVersions) {
    if (version == ids.Version) return &ids;
  }
  return nullptr;
}

}  // namespace ns::standin
