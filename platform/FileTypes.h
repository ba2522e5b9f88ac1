// IFileTypeProvider: the type name and icon of a directory entry, from its name alone.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct TFileTypeInfo {
  std::shared_ptr<const std::string> TypeName;  // shared by every entry of the same type
  int32_t IconIndex = 0;                        // index into the provider's icon list
};

class IFileTypeProvider {
 public:
  virtual ~IFileTypeProvider() = default;
  // Thread-safe; never reads the file. An unknown type gives a generic name, never a failure.
  virtual TFileTypeInfo Query(std::string_view name, bool isFolder) = 0;
  // The icon list: icon names (freedesktop icon-theme names) by IconIndex.
  virtual std::vector<std::string> IconNames() const = 0;
};

// The shared MIME database's comment for the type a file name suggests (cached per extension),
// and an icon list keyed by the MIME icon names. One per process is enough.
std::unique_ptr<IFileTypeProvider> CreateMimeFileTypes();
