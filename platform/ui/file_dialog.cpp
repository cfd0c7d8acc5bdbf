#include "platform/ui/file_dialog.h"

#include <QAbstractFileIconProvider>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QSortFilterProxyModel>
#include <QStyle>

#include <map>

#include "platform/rt/text.h"

namespace ov::ui {
namespace {

QString q(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

// Icons and type names from the name alone: Qt's own provider asks the MIME database, which
// reads a file whose name does not tell its type.
class NameOnlyIconProvider : public QAbstractFileIconProvider {
 public:
  QIcon icon(IconType type) const override {
    QStyle* style = QApplication::style();
    if (!style) return {};
    switch (type) {
      case Folder: return style->standardIcon(QStyle::SP_DirIcon);
      case Drive: return style->standardIcon(QStyle::SP_DriveHDIcon);
      case Computer: return style->standardIcon(QStyle::SP_ComputerIcon);
      case Network: return style->standardIcon(QStyle::SP_DriveNetIcon);
      default: return style->standardIcon(QStyle::SP_FileIcon);
    }
  }
  QIcon icon(const QFileInfo& info) const override { return icon(info.isDir() ? Folder : File); }
  QString type(const QFileInfo& info) const override {
    if (info.isDir()) return QStringLiteral("Folder");
    QString suffix = info.suffix();
    return suffix.isEmpty() ? QStringLiteral("File") : suffix.toUpper() + QStringLiteral(" File");
  }
};

NameOnlyIconProvider& iconProvider() {
  static auto* p = new NameOnlyIconProvider;  // dialogs keep a pointer to it
  return *p;
}

// Leaves the data files out of the list.
class HideDataFiles : public QSortFilterProxyModel {
 public:
  using QSortFilterProxyModel::QSortFilterProxyModel;

 protected:
  bool filterAcceptsRow(int row, const QModelIndex& parent) const override {
    auto* model = qobject_cast<QFileSystemModel*>(sourceModel());
    if (!model) return true;
    QModelIndex index = model->index(row, 0, parent);
    return model->isDir(index) || !isDataFileName(model->fileName(index).toStdString());
  }
};

std::map<std::string, QString, std::less<>>& lastFolders() {
  static auto* m = new std::map<std::string, QString, std::less<>>;
  return *m;
}

// Where a dialog starts, and the file name it offers.
void startingPoint(std::string_view purpose, std::string_view given, QString& folder, QString& name) {
  QString path = q(given);
  path.replace('\\', '/');
  if (path.contains('/')) {
    QFileInfo info(path);
    if (info.isDir()) {
      folder = info.absoluteFilePath();
      return;
    }
    if (info.dir().exists()) {
      folder = info.absolutePath();
      name = info.fileName();
      return;
    }
    path = info.fileName();
  }
  name = path;
  auto it = lastFolders().find(purpose);
  folder = it != lastFolders().end() && QFileInfo(it->second).isDir() ? it->second : QDir::homePath();
}

void setUp(QFileDialog& d) {
  d.setOption(QFileDialog::DontUseNativeDialog);  // only Qt's own dialog takes our icon provider
  d.setOption(QFileDialog::DontUseCustomDirectoryIcons);
  d.setIconProvider(&iconProvider());
}

}  // namespace

bool isDataFileName(std::string_view name) {
  std::string n = rt::UPPER(name);
  for (std::string_view journal : {"-WAL", "-SHM", "-JOURNAL"}) {
    if (n.size() > journal.size() && n.ends_with(journal)) {
      n.resize(n.size() - journal.size());
      break;
    }
  }
  return n == "RO97.ZEZ" || n == "OVTPL" || n == "OVACTN" || n == "MSGLINK" || (n.size() > 4 && n.ends_with(".TPS"));
}

std::string caseBlindPattern(std::string_view pattern) {
  std::string out;
  bool inSet = false;
  for (char c : pattern) {
    unsigned char u = static_cast<unsigned char>(c);
    if (c == '[') inSet = true;
    if (c == ']') inSet = false;
    if (!inSet && u < 0x80 && std::isalpha(u)) {
      out += '[';
      out += static_cast<char>(std::tolower(u));
      out += static_cast<char>(std::toupper(u));
      out += ']';
    } else {
      out += c;
    }
  }
  return out;
}

std::unique_ptr<QFileDialog> makeFileDialog(const FileRequest& r, QWidget* parent) {
  auto d = std::make_unique<QFileDialog>(parent, q(r.title));
  setUp(*d);
  d->setProxyModel(new HideDataFiles(d.get()));
  QStringList filters;
  for (const auto& [desc, patterns] : r.filters) {
    QStringList blind;
    for (const QString& p : q(patterns).split(' ', Qt::SkipEmptyParts)) blind << q(caseBlindPattern(p.toStdString()));
    filters << q(desc) + " (" + blind.join(' ') + ")";
  }
  if (!filters.isEmpty()) d->setNameFilters(filters);
  d->setAcceptMode(r.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  d->setFileMode(r.save ? QFileDialog::AnyFile : r.multi ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
  QString folder, name;
  startingPoint(r.title, r.file, folder, name);
  d->setDirectory(folder);
  if (!name.isEmpty()) d->selectFile(name);
  return d;
}

std::unique_ptr<QFileDialog> makeFolderDialog(const FolderRequest& r, QWidget* parent) {
  auto d = std::make_unique<QFileDialog>(parent, q(r.title));
  setUp(*d);
  d->setFileMode(QFileDialog::Directory);
  d->setOption(QFileDialog::ShowDirsOnly);
  QString folder, name;
  startingPoint(r.title, r.start.empty() || r.start.ends_with('/') ? r.start : r.start + "/", folder, name);
  d->setDirectory(folder);
  return d;
}

void rememberFolder(std::string_view purpose, const QString& folder) {
  if (!folder.isEmpty()) lastFolders()[std::string(purpose)] = folder;
}

}  // namespace ov::ui
