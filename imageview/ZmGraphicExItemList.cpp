#include "imageview/ZmGraphicExItemList.h"

#include "catalogue/ZmUtils.h"
#include "options/IniFile.h"

namespace {
constexpr std::string_view DefaultSection = "GraphicTypes";

struct TFormatRow {
  const TGraphicClass* Class;
  const char* FixedMask;  // the platform's own classes carry fixed masks
};
}  // namespace

std::string TZmGraphicExItem::IniKey() const { return DeleteFirstChar(GraphicClassName); }

std::string DerivedFileMask(const TGraphicClass& cls) {
  std::string mask;
  auto regs = DecoderRegistry();
  for (auto it = regs.rbegin(); it != regs.rend(); ++it) {
    if (!it->Class->InheritsFrom(cls)) continue;
    if (!mask.empty()) mask += ';';
    mask += "*.";
    mask += it->Extension;
  }
  return mask;
}

TZmGraphicExItemList::TZmGraphicExItemList() {
  using namespace GraphicClasses;
  const TFormatRow rows[] = {
      {&TAutodeskGraphic, nullptr}, {&TBitmap, "*.bmp;*.dib;*.rle"},
      {&TCUTGraphic, nullptr},      {&TIcon, "*.ico"},
      {&TJPEGImage, "*.jfif;*.jpe;*.jpeg;*.jpg"},
      {&TMetafile, "*.emf;*.wmf"},  {&TPCDGraphic, nullptr},
      {&TPCXGraphic, nullptr},      {&TPNGGraphic, nullptr},
      {&TPPMGraphic, nullptr},      {&TPSDGraphic, nullptr},
      {&TPSPGraphic, nullptr},      {&TRLAGraphic, nullptr},
      {&TSGIGraphic, nullptr},      {&TTargaGraphic, nullptr},
      {&TTIFFGraphic, nullptr},
  };
  for (const TFormatRow& row : rows) {
    TZmGraphicExItem item;
    item.GraphicClass = row.Class;
    item.GraphicClassName = std::string(row.Class->ClassName);
    item.FileMask = row.FixedMask ? row.FixedMask : DerivedFileMask(*row.Class);
    Items_.push_back(std::move(item));
  }
}

const std::vector<std::string>& TZmGraphicExItemList::ExtensionList() {
  std::string masks;
  for (const TZmGraphicExItem& item : Items_) {
    if (!item.Enabled) continue;
    if (!masks.empty()) masks += ';';
    masks += item.FileMask;
  }
  ExtensionList_ = SplitCommaText(ExtListToCommaText(masks));
  return ExtensionList_;
}

void TZmGraphicExItemList::LoadFromIni(const TMemIniFile& ini, std::string_view section) {
  if (section.empty()) section = DefaultSection;
  for (TZmGraphicExItem& item : Items_) item.Enabled = ini.ReadBool(section, item.IniKey(), true);
}

void TZmGraphicExItemList::SaveToIni(TMemIniFile& ini, std::string_view section) const {
  if (section.empty()) section = DefaultSection;
  for (const TZmGraphicExItem& item : Items_) ini.WriteBool(section, item.IniKey(), item.Enabled);
}
