// Type names from the shared MIME database, through Qt's reader of it.
#include <QMimeDatabase>
#include <QString>

#include <mutex>
#include <unordered_map>

#include "platform/FileTypes.h"

namespace {

// Type names are at most 80 characters, as a file manager's type column shows them.
constexpr size_t MaxTypeNameChars = 80;

QString Truncated(const QString& s) {
  qsizetype units = 0;
  for (size_t chars = 0; units < s.size() && chars < MaxTypeNameChars; ++chars)
    units += s[units].isHighSurrogate() && units + 1 < s.size() ? 2 : 1;
  return s.left(units);
}

class TMimeFileTypes final : public IFileTypeProvider {
 public:
  TMimeFileTypes() {
    // Index 0 is the generic file icon, the fallback for anything unknown.
    IconIndexOf("text-x-generic");
  }

  TFileTypeInfo Query(std::string_view name, bool isFolder) override {
    // Look-ups are by name only and cached per extension; a name without one is its own key.
    std::string key;
    if (isFolder) {
      key = "/";
    } else {
      const size_t dot = name.rfind('.');
      key = dot == std::string_view::npos || dot == 0 ? "=" + std::string(name) : std::string(name.substr(dot));
    }
    std::lock_guard lock(Mutex_);
    auto it = Cache_.find(key);
    if (it != Cache_.end()) return it->second;

    const QMimeType mime = isFolder ? Db_.mimeTypeForName(QStringLiteral("inode/directory"))
                                    : Db_.mimeTypeForFile(QString::fromUtf8(name.data(), qsizetype(name.size())),
                                                          QMimeDatabase::MatchExtension);
    QString comment = mime.comment();
    if (comment.isEmpty()) comment = mime.name();
    QString icon = mime.iconName();
    TFileTypeInfo info;
    info.TypeName = std::make_shared<const std::string>(Truncated(comment).toStdString());
    info.IconIndex = IconIndexOf(icon.toStdString(), mime.genericIconName().toStdString());
    // Names without an extension are rarely repeated; keep the cache small.
    if (key[0] != '=' || Cache_.size() < 4096) Cache_.emplace(std::move(key), info);
    return info;
  }

  std::vector<std::string> IconNames() const override {
    std::lock_guard lock(Mutex_);
    return Icons_;
  }

 private:
  int32_t IconIndexOf(const std::string& icon, const std::string& generic = {}) {
    const std::string& use = icon.empty() ? generic : icon;
    if (use.empty()) return 0;
    auto it = IconIndex_.find(use);
    if (it != IconIndex_.end()) return it->second;
    const int32_t index = int32_t(Icons_.size());
    Icons_.push_back(use);
    IconIndex_.emplace(use, index);
    return index;
  }

  mutable std::mutex Mutex_;
  QMimeDatabase Db_;
  std::unordered_map<std::string, TFileTypeInfo> Cache_;
  std::vector<std::string> Icons_;
  std::unordered_map<std::string, int32_t> IconIndex_;
};

}  // namespace

std::unique_ptr<IFileTypeProvider> CreateMimeFileTypes() { return std::make_unique<TMimeFileTypes>(); }
