// The program object.
#include "app/program.h"

namespace tunora {

Program::Program(Env& env)
    : env_(env),
      lock_(words_, env_),
      library_(song_table_, settings_),
      start_up_opener_(library_),
      update_writer_(lock_, update_queue_, library_, window_slot_, threads_, status_),
      executor_(lock_),
      supervisor_(lock_, executor_, update_writer_, update_queue_, threads_, window_slot_,
                  status_),
      random_(env_),
      builder_(lock_, library_, settings_, play_list_, status_, random_, env_, builder_hooks_) {
  settings_.set(settings::kEditQueueCount, -1);
}

Program::~Program() { stopThreads(); }

void Program::stopThreads() {
  words_.stopping.store(1);
  threads_.closeAndJoin();
}

bool Program::startBuilder() {
  builder_.memory().last_added_path = context_.last_added_path;
  builder_.setDataDirectory(context_.data_directory);
  return threads_.start([this] { builder_.runThread(); });
}

void Program::attachWindow(engine::WindowChannel* window) { window_slot_.attach(window); }

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

void Program::StartUpOpener::openLibraryForReading(marlbase::TableHandle& table,
                                                   const Settings& settings, AppContext&) {
  if (&table == &library_.table()) {
    library_.openLibraryForReading();
    return;
  }
  // Start-up given a handle other than the program's: open it directly the same way.
  table.setPath(settings.text(settings::kDatabasePath));
  table.setWritable(false);
  (void)table.open();
}

}  // namespace tunora
