// The questions and errors that Network mode puts to the user, through the program's one message
// dialog. The window implements this interface; tests script the answers.
#pragma once

#include <cstdint>
#include <string>

namespace tunora::network {

inline constexpr char kDamagedNetworkText[] = "The network Database is damaged";
inline constexpr char kReplaceWithLocalText[] = "Replace with local";
inline constexpr char kDoNothingText[] = "Don't do anything";
inline constexpr char kSizeDiffersText[] = "The Local and Network databases are not the same size";
inline constexpr char kUseNetworkText[] = "Use the Network database";
inline constexpr char kUseLocalText[] = "Use the Local database";
inline constexpr char kCannotOpenBothText[] = "The local and remote databases cannot be opened";
inline constexpr char kOfflineText[] = "Database is currently Offline.";

class NetworkDialogs {
 public:
  virtual ~NetworkDialogs() = default;
  // A confirmation with two custom captions: 1 for the first button (or a time-out), 2 for the
  // second. Called on the thread that holds the database.
  virtual int32_t ask(const std::string& message, const std::string& first,
                      const std::string& second) = 0;
  // An error with the buttons "OK" and "View ReadMe" (the dialog opens the ReadMe itself).
  virtual void showError(const std::string& message) = 0;
};

// Answers every question with its first button and shows nothing: for runs without a window.
class FirstButtonDialogs final : public NetworkDialogs {
 public:
  int32_t ask(const std::string&, const std::string&, const std::string&) override { return 1; }
  void showError(const std::string&) override {}
};

}  // namespace tunora::network
