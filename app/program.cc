// The program object.
#include "app/program.h"

#include "engine/lock_codes.h"
#include "util/thread_priority.h"

namespace tunora {

Program::Program(Env& env)
    : env_(env),
      threads_(env_),
      lock_(words_, env_),
      library_(song_table_, settings_),
      update_writer_(lock_, update_queue_, library_, window_slot_, threads_, status_),
      executor_(lock_),
      supervisor_(lock_, executor_, update_writer_, update_queue_, threads_, window_slot_, status_),
      random_(env_),
      local_copy_(song_table_, settings_, context_, words_, dialog_slot_, copier_, env_),
      buffering_(network::bufferFolder(processEnvironment()), settings_, words_, play_list_,
                 status_, env_, threads_, copier_),
      checksum_(lock_, library_, settings_, context_, play_list_, update_writer_, random_, threads_,
                status_),
      builder_hooks_(buffering_, checksum_, settings_, update_writer_, update_queue_),
      builder_(lock_, library_, settings_, play_list_, status_, random_, env_, builder_hooks_),
      play_list_store_(play_list_),
      state_switcher_(lock_, library_, settings_, play_list_, status_, &switch_hooks_) {
  song_table_.setEnv(env_);
  library_.setNetworkLibrary(&local_copy_);
  buffering_.setAfterFirstPass([this] { checksum_.startChecksumPass(); });
  checksum_.setLocalPathOf([this](const std::string& path) {
    return network::safeLocalBufferPath(buffering_.mediaFolder(), path);
  });
  // A grant of the checksum pass's code while the pass does not run has lost its holder.
  supervisor_.setWorkerIdleCheck(engine::kCodeChecksumPass,
                                 [this] { return !checksum_.running(); });
  settings_.set(settings::kEditQueueCount, -1);
}

Program::~Program() { stopThreads(); }

void Program::stopThreads() {
  words_.stopping.store(1);
  threads_.closeAndJoin();
  update_writer_.writeLeftAfterQuit();
}

void Program::setDataDirectory(const std::string& data_directory) {
  context_.data_directory = data_directory;
  context_.local_copy_path = data_directory + kLocalCopyFileName;
  state_switcher_.setDataDirectory(data_directory);
  builder_.setDataDirectory(data_directory);
}

bool Program::loadStatePlayList() {
  const std::optional<engine::ResumePoint> resume =
      engine::readResumePoint(context_.data_directory);
  bool on_top = false;
  const bool opened =
      engine::loadStatePlayList(library_, settings_, play_list_, context_.data_directory,
                                resume ? &*resume : nullptr, &on_top);
  // The player, once started, begins the top song where it stopped (program_player.cc).
  if (on_top) resume_start_ = resume;
  return opened;
}

void Program::setMessageDialog(ui::MessageDialog* dialog) { dialog_slot_.set(dialog); }

// The dialog is called outside the slot's mutex: a question may stay open for a long time and
// several threads may ask at once. A dialog set must outlive the program's threads.
ui::MessageDialog* Program::DialogSlot::current() {
  std::lock_guard lock(mu_);
  return dialog_ != nullptr ? dialog_ : &first_button_;
}

ui::MessageResult Program::DialogSlot::show(const ui::MessageRequest& request) {
  return current()->show(request);
}

void Program::DialogSlot::openReadMe() { current()->openReadMe(); }

void Program::DialogSlot::set(ui::MessageDialog* dialog) {
  std::lock_guard lock(mu_);
  dialog_ = dialog;
}

bool Program::startBuilder() {
  builder_.memory().last_added_path = context_.last_added_path;
  builder_.setDataDirectory(context_.data_directory);
  return threads_.start([this] {
    lowerThisThreadPriority(5);
    builder_.runThread();
  });
}

void Program::setShutdownAfterBuild(std::function<void()> start) {
  builder_hooks_.setShutdownAfterBuild(start);
  buffering_.setShutdownAfterBuild(std::move(start));
}

void Program::attachWindow(engine::WindowChannel* window) { window_slot_.attach(window); }

void Program::startBufferingOrChecksumPass() {
  if (settings_.get(settings::kNetwork) != 0 && settings_.get(settings::kBuffer) != 0) {
    if (play_list_.size() > 5) {
      buffering_.setUpBuffer();
      return;
    }
    // Too short a list to copy: the buffer is made ready for the builder's first pass.
    buffering_.setUpBuffer(/*start_pass=*/false);
    buffering_.setState(network::kBuffered);
  }
  checksum_.startChecksumPass();
}

void Program::noteEditQueueCount() {
  settings_.set(settings::kEditQueueCount, update_queue_.length());
}

void Program::WindowSlot::attach(engine::WindowChannel* window) {
  std::lock_guard lock(mu_);
  window_ = window;
}

void Program::WindowSlot::postCommand(int32_t command, int32_t parameter) {
  std::lock_guard lock(mu_);
  if (window_ != nullptr) window_->postCommand(command, parameter);
}

}  // namespace tunora
