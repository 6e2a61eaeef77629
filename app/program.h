// The program object: the composition root that owns everything the program shares between its
// parts and threads (the start-up record, the settings, the Env, the shared words, the song
// table handle, the play list, the status message) and builds the engine's pieces over them.
// Each piece gets references to what it needs, never the program object itself.
//
// Tests create as many as they like. Destruction stops and joins every thread the program
// started; a thread asleep in the Env wakes at the end of its sleep (with a FakeEnv, the test
// moves the clock until running threads reach 0, or calls stopThreads while moving it).
#pragma once

#include <functional>
#include <memory>
#include <mutex>

#include "app/app_context.h"
#include "engine/list_builder.h"
#include "engine/play_list.h"
#include "engine/play_list_file.h"
#include "engine/quit_request.h"
#include "engine/random_source.h"
#include "engine/request_executor.h"
#include "engine/resume_point.h"
#include "engine/shared_lock.h"
#include "engine/shared_words.h"
#include "engine/state_switch.h"
#include "engine/status_message.h"
#include "engine/supervisor.h"
#include "engine/thread_set.h"
#include "engine/update_queue.h"
#include "engine/update_writer.h"
#include "engine/window_channel.h"
#include "marlbase/table_handle.h"
#include "network/buffer_paths.h"
#include "network/buffering.h"
#include "network/checksum_pass.h"
#include "network/library_opening.h"
#include "network/local_copy_library.h"
#include "network/network_hooks.h"
#include "network/share_files.h"
#include "platform/message_dialog.h"
#include "settings/settings.h"
#include "util/env.h"

namespace tunora {

namespace player {
class Player;
class PlayerWindow;
class FileChoice;
}  // namespace player
namespace ui {
class MediaWindow;
}  // namespace ui

class Program {
 public:
  explicit Program(Env& env);
  ~Program();
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  Env& env() { return env_; }
  AppContext& context() { return context_; }
  Settings& settings() { return settings_; }
  engine::SharedWords& words() { return words_; }
  marlbase::TableHandle& songTable() { return song_table_; }
  engine::PlayList& playList() { return play_list_; }
  engine::StatusMessage& status() { return status_; }
  engine::SharedLock& lock() { return lock_; }
  network::LibraryOpening& library() { return library_; }
  engine::UpdateQueue& updateQueue() { return update_queue_; }
  engine::UpdateWriter& updateWriter() { return update_writer_; }
  engine::RequestExecutor& executor() { return executor_; }
  engine::Supervisor& supervisor() { return supervisor_; }
  engine::ListBuilder& builder() { return builder_; }
  network::Buffering& buffering() { return buffering_; }
  network::ChecksumPass& checksumPass() { return checksum_; }
  engine::StateSwitcher& stateSwitcher() { return state_switcher_; }
  // The play list as saveSettings writes it to the state's file.
  PlayListStore& playListStore() { return play_list_store_; }

  // Start-up has set the data directory: the local copy's path, the play-list folder.
  void setDataDirectory(const std::string& data_directory);
  // Loads the current state's play-list file into the play list (the library must exist). The
  // song left off at the last quit ("Resume.txt", engine/resume_point.h) goes on top, and the
  // player started afterwards (startPlayer) begins it where it stopped.
  bool loadStatePlayList();
  // Keeps the song playing or paused at the quit, and where, in "Resume.txt" for the next start
  // (or the one left off before and not started since); removes the file when there is none or
  // the play list is not to be saved. Call after the threads stopped. Built with the player.
  Status saveResumePoint();
  // The message dialog every part of the program asks through (the window's); until one is set,
  // every question takes its first button and nothing is shown.
  void setMessageDialog(ui::MessageDialog* dialog);
  ui::MessageDialog& messageDialog() { return dialog_slot_; }
  engine::ThreadSet& threads() { return threads_; }

  // The window's command channel; commands posted while none is attached are dropped. The
  // channel must outlive the program object's threads (detach it before destroying it).
  void attachWindow(engine::WindowChannel* window);
  // What starts the shutdown-after-build thread when a build (or a buffering pass) ends with
  // "Shutdown" and "Auto Build" on and nothing playing; nothing until set. Call before the
  // threads start.
  void setShutdownAfterBuild(std::function<void()> start);
  // Starts the supervisor thread.
  bool startSupervisor() { return supervisor_.start(); }
  // Starts the list builder's thread; it writes full lists into the data directory.
  bool startBuilder();
  // The window's close: requests the quit (see engine/quit_request.h).
  void closeWindow() { engine::handleCloseRequest(lock_, window_slot_, status_); }
  // Writes the update queue's length into the settings field `EditQueueCount` (before a save).
  void noteEditQueueCount();
  // Creates the player over the media window and the window's player interface (both must
  // outlive the program object's threads) and adds the next-song details loader to the
  // supervisor's workers. Call once, before startSupervisor. Built with the player area only.
  player::Player& createPlayer(ui::MediaWindow& media, player::PlayerWindow& window);
  // Starts the player thread (after createPlayer); with "Auto Play" on or the "play at once"
  // start-up flag set, playback starts by itself.
  bool startPlayer();
  // The last step of starting up, after the threads: in Network mode with "Buffer" on and more
  // than 5 songs prepared, sets up buffering (its first pass then starts the checksum pass);
  // with "Buffer" on and a shorter list the buffer table is made ready and counts as buffered
  // (the builder's pass comes once the list is longer), and the checksum pass starts. Without
  // "Buffer" it starts the checksum pass. The window's creation calls it, and so does tunora-cli
  // play.
  void startBufferingOrChecksumPass();
  // The player; nullptr before createPlayer.
  player::Player* player() { return player_.get(); }
  // Stops every thread of the program and joins them; then writes the updates that the quit's
  // writer had to leave (engine/update_writer.h). Idempotent.
  void stopThreads();

 private:
  // Forwards to the attached window, or drops the command.
  class WindowSlot final : public engine::WindowChannel {
   public:
    void attach(engine::WindowChannel* window);
    void postCommand(int32_t command, int32_t parameter) override;

   private:
    std::mutex mu_;
    engine::WindowChannel* window_ = nullptr;
  };

  Env& env_;
  AppContext context_;
  Settings settings_;
  engine::SharedWords words_;
  marlbase::TableHandle song_table_;
  engine::PlayList play_list_;
  engine::StatusMessage status_;
  WindowSlot window_slot_;
  engine::ThreadSet threads_;
  engine::SharedLock lock_;
  network::LibraryOpening library_;
  engine::UpdateQueue update_queue_;
  engine::UpdateWriter update_writer_;
  engine::RequestExecutor executor_;
  engine::Supervisor supervisor_;
  engine::EnvRandomSource random_;
  // Network mode: the local copy behind the library opening, buffering and the checksum pass.
  // Forwards to the message dialog set, or answers with the first button.
  class DialogSlot final : public ui::MessageDialog {
   public:
    ui::MessageResult show(const ui::MessageRequest& request) override;
    void openReadMe() override;
    void set(ui::MessageDialog* dialog);

   private:
    ui::MessageDialog* current();
    std::mutex mu_;
    ui::MessageDialog* dialog_ = nullptr;
    ui::FirstButtonMessageDialog first_button_;
  };
  DialogSlot dialog_slot_;
  network::FileCopier copier_;
  network::LocalCopyLibrary local_copy_;
  network::Buffering buffering_;
  network::ChecksumPass checksum_;
  network::NetworkBuilderHooks builder_hooks_;
  engine::ListBuilder builder_;
  engine::PlayListFileStore play_list_store_;
  // A switch of listening state in Network mode restarts buffering over the new list.
  class SwitchHooks final : public engine::StateSwitchHooks {
   public:
    explicit SwitchHooks(network::Buffering& buffering) : buffering_(buffering) {}
    void restartBuffering() override { buffering_.restartAfterStateSwitch(); }

   private:
    network::Buffering& buffering_;
  };
  SwitchHooks switch_hooks_{buffering_};
  engine::StateSwitcher state_switcher_;
  // Defined where the player is known (program_player.cc); null until createPlayer.
  std::unique_ptr<player::FileChoice, void (*)(player::FileChoice*)> file_choice_{nullptr, nullptr};
  std::unique_ptr<player::Player, void (*)(player::Player*)> player_{nullptr, nullptr};
  // The song left off at the last quit, put on top of the list by loadStatePlayList.
  std::optional<engine::ResumePoint> resume_start_;
};

}  // namespace tunora
