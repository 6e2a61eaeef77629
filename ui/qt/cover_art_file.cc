// The cover picture as a file for the desktop.
#include "ui/qt/cover_art_file.h"

#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringList>

#include "ui/qt/text.h"

namespace tunora::ui::qt {

namespace {

bool isFolder(const std::string& path) { return QFileInfo(fromPath(path)).isDir(); }

}  // namespace

std::string coverArtFolder(const EnvironmentLookup& environment) {
  const auto runtime = xdgFolder(XdgFolder::kRuntimeDir, environment);
  if (runtime && isFolder(*runtime)) return *runtime + "/tunora/";
  if (auto cache = xdgFolder(XdgFolder::kCacheHome, environment)) return *cache + "/tunora/";
  return {};
}

CoverArtFile::CoverArtFile(std::string folder)
    : folder_(std::move(folder)), pid_(static_cast<int64_t>(::getpid())) {}

CoverArtFile::~CoverArtFile() { clear(); }

void CoverArtFile::removeLeftovers() {
  // "cover-<pid>-<n>.png" of a process that no longer runs.
  QDir dir(fromPath(folder_));
  for (const QString& name : dir.entryList({QStringLiteral("cover-*-*.png")}, QDir::Files)) {
    bool number = false;
    const int64_t pid = name.section('-', 1, 1).toLongLong(&number);
    if (!number || pid == pid_) continue;
    if (!QFileInfo::exists(QStringLiteral("/proc/%1").arg(pid))) dir.remove(name);
  }
}

std::string CoverArtFile::write(const QImage& image) {
  std::lock_guard lock(mu_);
  const std::string old = path_;
  path_.clear();
  if (!folder_.empty() && !image.isNull()) {
    const QString folder = fromPath(folder_);
    if (QDir().mkpath(folder)) {
      QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                        QFileDevice::ExeOwner);
      if (!swept_) {
        removeLeftovers();
        swept_ = true;
      }
      const QImage small =
          image.width() > kCoverArtMaxSide || image.height() > kCoverArtMaxSide
              ? image.scaled(kCoverArtMaxSide, kCoverArtMaxSide, Qt::KeepAspectRatio,
                             Qt::SmoothTransformation)
              : image;
      const std::string path = folder_ + "cover-" + std::to_string(pid_) + "-" +
                               std::to_string(++count_) + ".png";
      QSaveFile file(fromPath(path));
      if (file.open(QIODevice::WriteOnly) && small.save(&file, "PNG") && file.commit()) {
        path_ = path;
      }
    }
  }
  if (!old.empty() && old != path_) QFile::remove(fromPath(old));
  return path_;
}

void CoverArtFile::clear() {
  std::lock_guard lock(mu_);
  if (!path_.empty()) QFile::remove(fromPath(path_));
  path_.clear();
}

std::string CoverArtFile::path() const {
  std::lock_guard lock(mu_);
  return path_;
}

}  // namespace tunora::ui::qt
