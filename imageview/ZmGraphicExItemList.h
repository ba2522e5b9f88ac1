// The format table: one entry per picture class with an on/off switch. The extensions of the
// switched-on formats become the file catalogue's extension filter; decoding never depends on it.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "imageview/ZmGraphicExTypes.h"

class TMemIniFile;

struct TZmGraphicExItem {
  bool Enabled = true;
  std::string FileMask;  // "*.bmp;*.dib;*.rle"
  const TGraphicClass* GraphicClass = nullptr;
  std::string GraphicClassName;  // "TBitmap"; without its first letter it is the INI key and caption

  std::string IniKey() const;
};

class TZmGraphicExItemList {
 public:
  // The sixteen formats in table order, all enabled.
  TZmGraphicExItemList();

  int Count() const { return int(Items_.size()); }
  TZmGraphicExItem& Items(int i) { return Items_.at(size_t(i)); }
  const TZmGraphicExItem& Items(int i) const { return Items_.at(size_t(i)); }

  // The extensions (".jpg", with the dot, as written in the masks) of every enabled format,
  // in table order; rebuilt on each call.
  const std::vector<std::string>& ExtensionList();

  // Section "GraphicTypes" when `section` is empty; a missing key means enabled.
  void LoadFromIni(const TMemIniFile& ini, std::string_view section = {});
  void SaveToIni(TMemIniFile& ini, std::string_view section = {}) const;

 private:
  std::vector<TZmGraphicExItem> Items_;
  std::vector<std::string> ExtensionList_;
};

// "*." plus each registered extension of the class or its subclasses, newest registration first,
// joined by ";".
std::string DerivedFileMask(const TGraphicClass& cls);
