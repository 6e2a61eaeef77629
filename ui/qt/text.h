// Stored texts to Qt strings and back. Stored texts (song texts, paths, names) are bytes: shown as
// UTF-8 when valid, else as Windows-1252. Texts typed into the window go back as UTF-8.
#pragma once

#include <QString>
#include <string>
#include <string_view>

#include "util/text_codec.h"

namespace tunora::ui::qt {

inline QString fromBytes(std::string_view stored) {
  return QString::fromStdString(displayText(stored));
}

inline std::string toBytes(const QString& text) { return text.toStdString(); }

// A file path: the bytes as the file system has them.
inline QString fromPath(const std::string& path) { return QString::fromLocal8Bit(path); }

}  // namespace tunora::ui::qt
