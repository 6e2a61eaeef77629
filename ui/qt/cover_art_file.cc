// The cover picture as a file for the desktop.
#include "ui/qt/cover_art_file.h"

#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringList>
#include <utility>

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

std::string CoverArtFile::writeFile(const QImage& image, int64_t number, bool sweep) {
  if (folder_.empty() || image.isNull()) return {};
  const QString folder = fromPath(folder_);
  if (!QDir().mkpath(folder)) return {};
  QFile::setPermissions(folder,
                        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
  if (sweep) removeLeftovers();
  const QImage small = image.width() > kCoverArtMaxSide || image.height() > kCoverArtMaxSide
                           ? image.scaled(kCoverArtMaxSide, kCoverArtMaxSide, Qt::KeepAspectRatio,
                                          Qt::SmoothTransformation)
                           : image;
  const std::string path =
      folder_ + "cover-" + std::to_string(pid_) + "-" + std::to_string(number) + ".png";
  QSaveFile file(fromPath(path));
  if (file.open(QIODevice::WriteOnly) && small.save(&file, "PNG") && file.commit()) return path;
  return {};
}

// The lock is held only to number the write and to swap the path: path() never waits while a
// picture is scaled, encoded and saved.
std::string CoverArtFile::write(const QImage& image) {
  int64_t number = 0;
  bool sweep = false;
  {
    std::lock_guard lock(mu_);
    number = ++count_;
    sweep = !swept_;
    swept_ = true;
  }
  const std::string written = writeFile(image, number, sweep);
  // The file this write replaces, or its own when a write or clear begun later got in first
  // (every number has a name of its own, so the two never coincide).
  std::string dropped;
  bool current = false;
  {
    std::lock_guard lock(mu_);
    current = number > shown_;
    if (current) {
      shown_ = number;
      dropped = std::exchange(path_, written);
    } else {
      dropped = written;
    }
  }
  if (!dropped.empty()) QFile::remove(fromPath(dropped));
  return current ? written : std::string();
}

void CoverArtFile::clear() {
  std::string dropped;
  {
    std::lock_guard lock(mu_);
    shown_ = ++count_;
    dropped.swap(path_);
  }
  if (!dropped.empty()) QFile::remove(fromPath(dropped));
}

std::string CoverArtFile::path() const {
  std::lock_guard lock(mu_);
  return path_;
}

}  // namespace tunora::ui::qt
