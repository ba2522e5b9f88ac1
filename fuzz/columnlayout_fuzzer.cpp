// Feeds arbitrary bytes as a settings file to the file list's column layout, then edits it with
// rows taken from the same bytes. Whatever the file says, the orders must stay a permutation,
// every visible column must have a visible position, and saving then loading must give the
// same layout back.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "columns/ZmListColumnInfo.h"
#include "options/IniFile.h"

namespace {

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

void CheckLayout(const TZmListColumnInfos& c) {
  std::vector<bool> seen(size_t(c.Count()), false);
  for (int32_t i = 0; i < c.Count(); ++i) {
    const TZmListColumnInfo& item = c.Items(i);
    Check(item.Order() >= 0 && item.Order() < c.Count() && !seen[size_t(item.Order())]);
    seen[size_t(item.Order())] = true;
    if (item.Visible) Check(c.FindByVisibleIndex(item.VisibleIndex()) == &item);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  TMemIniFile ini;
  ini.SetText(text);
  TZmColumnInfos layout = MakeFileListColumns();
  TZmListColumnInfos& c = layout.ColumnInfos();
  c.LoadFromIni(ini);
  CheckLayout(c);

  TMemIniFile saved;
  c.SaveToIni(saved);
  TZmColumnInfos reloaded = MakeFileListColumns();
  reloaded.ColumnInfos().LoadFromIni(saved);
  for (int32_t i = 0; i < c.Count(); ++i) {
    const TZmListColumnInfo& a = c.Items(i);
    const TZmListColumnInfo& b = reloaded.ColumnInfos().Items(i);
    Check(a.Order() == b.Order() && a.Visible == b.Visible && a.Width == b.Width);
  }

  // Editor rows from the bytes: (index, checked, width) triples, any values.
  std::vector<TZmColumnEditorRow> rows;
  for (size_t i = 0; i + 3 <= size && rows.size() < 40; i += 3)
    rows.push_back({(data[i + 1] & 1) != 0, "", int(int8_t(data[i + 2])) * 20, int(int8_t(data[i]))});
  int32_t sort = size > 0 ? int32_t(int8_t(data[0])) : 0;
  bool down = true;
  c.ApplyColumnEditor(rows, sort, down);
  CheckLayout(c);
  if (c.VisibleCount() > 0) Check(sort >= 0 && sort < c.Count() && c.Items(sort).Visible);
  return 0;
}
