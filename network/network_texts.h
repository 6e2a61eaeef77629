// The questions and errors that Network mode puts to the user through the program's message
// dialog (platform/message_dialog.h).
#pragma once

namespace tunora::network {

inline constexpr char kDamagedNetworkText[] = "The network Database is damaged";
inline constexpr char kReplaceWithLocalText[] = "Replace with local";
inline constexpr char kDoNothingText[] = "Don't do anything";
inline constexpr char kSizeDiffersText[] = "The Local and Network databases are not the same size";
inline constexpr char kUseNetworkText[] = "Use the Network database";
inline constexpr char kUseLocalText[] = "Use the Local database";
inline constexpr char kCannotOpenBothText[] = "The local and remote databases cannot be opened";
inline constexpr char kOfflineText[] = "Database is currently Offline.";
}  // namespace tunora::network
