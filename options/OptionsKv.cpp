#include "options/OptionsKv.h"

#include "catalogue/ZmThreadFileInfoList.h"
#include "catalogue/ZmUtils.h"
#include "imageview/ZmGraphicExItemList.h"
#include "options/IniFile.h"

namespace {
constexpr const char* SlideShowSection = "SlideShow";
constexpr const char* OptionSection = "Option";

// An empty path becomes "/": the target chooser then starts at the root.
std::string WithTrailingDelimiter(const std::string& path) {
  return path.empty() || path.back() != '/' ? path + "/" : path;
}
}  // namespace

void TKirvaneOptions::Load(const TMemIniFile& ini, IKirvaneOptionsHost& host) {
  const TKirvaneDefaults& d = *Defaults;
  host.SetLoop(ini.ReadBool(SlideShowSection, "Loop", d.Loop));
  ShowMode = uint8_t(ini.ReadInteger(SlideShowSection, "ShowMode", d.ShowMode));
  host.SetViewInterval(ini.ReadInteger(SlideShowSection, "ViewInterval", d.ViewInterval * 1000));
  host.SetBarVisible(ini.ReadBool(SlideShowSection, "BarVisible", d.BarVisible));
  host.SetDoNow(ini.ReadBool(OptionSection, "DoNow", d.DoNow));
  host.SetFolderBarVisible(ini.ReadBool(OptionSection, "FolderBarVisible", d.FolderBarVisible));
  RefreshMode = uint8_t(ini.ReadInteger(OptionSection, "RefreshMode", d.RefreshMode));
  ImgViewMode = uint8_t(ini.ReadInteger(OptionSection, "ImgViewMode", d.ImgViewMode));
  CommonSendPath = WithTrailingDelimiter(ini.ReadString(OptionSection, "CommonSendPath", ""));

  TZmThreadFileInfoList& files = host.FileList();
  files.Defaults->LoadFromIni(ini);
  host.LoadColumns(ini);
  host.LoadImageView(ini);
  TZmGraphicExItemList& formats = host.Formats();
  formats.LoadFromIni(ini);
  files.SetExtList(formats.ExtensionList());
  Apply(host);
  host.ApplySortColumn();
}

bool TKirvaneOptions::Save(TMemIniFile& ini, IKirvaneOptionsHost& host, std::string* error) {
  ini.Clear();
  ini.WriteBool(SlideShowSection, "Loop", host.Loop());
  ini.WriteInteger(SlideShowSection, "ShowMode", ShowMode);
  ini.WriteInteger(SlideShowSection, "ViewInterval", host.ViewInterval());
  ini.WriteBool(SlideShowSection, "BarVisible", host.BarVisible());
  ini.WriteBool(OptionSection, "DoNow", host.DoNow());
  ini.WriteBool(OptionSection, "FolderBarVisible", host.FolderBarVisible());
  ini.WriteInteger(OptionSection, "RefreshMode", RefreshMode);
  ini.WriteInteger(OptionSection, "ImgViewMode", ImgViewMode);
  CommonSendPath = WithTrailingDelimiter(CommonSendPath);
  ini.WriteString(OptionSection, "CommonSendPath", CommonSendPath);
  host.SaveColumns(ini);
  host.FileList().Defaults->SaveToIni(ini);
  host.SaveImageView(ini);
  host.Formats().SaveToIni(ini);
  return ini.UpdateFile(error);
}
