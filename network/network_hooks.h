// Network mode's parts as the list builder and the player see them: the builder thread's
// buffer and checksum hooks, and the player's choice between a buffered copy and the network
// file.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "engine/list_builder.h"
#include "engine/update_queue.h"
#include "engine/update_writer.h"
#include "network/buffering.h"
#include "network/checksum_pass.h"

namespace tunora::network {

class NetworkBuilderHooks final : public engine::BuilderHooks {
 public:
  NetworkBuilderHooks(Buffering& buffering, ChecksumPass& checksum, const Settings& settings,
                      engine::UpdateWriter& writer, engine::UpdateQueue& queue)
      : buffering_(buffering),
        checksum_(checksum),
        settings_(settings),
        writer_(writer),
        queue_(queue) {}
  void setShutdownAfterBuild(std::function<void()> start) { shutdown_ = std::move(start); }

  bool bufferingOn() override { return buffering_.state() != kBufferOff; }
  void resetBufferLevel() override { buffering_.setLevel(0); }
  bool bufferPassWanted(int32_t songs_prepared) override {
    return buffering_.level() < 5 && buffering_.state() == kBuffered && songs_prepared > 5;
  }
  void runBufferPass() override { buffering_.bufferPass(); }
  bool updateWriterWanted() override { return queue_.length() > 50 && !writer_.running(); }
  void runUpdateWriter() override { writer_.runUpdateWriter(); }
  bool checksumPassWanted() override {
    return settings_.get(settings::kHashStat) == 0 && !checksum_.running();
  }
  void startChecksumPass() override { checksum_.startChecksumPass(); }
  void startShutdownAfterBuild() override {
    if (shutdown_) shutdown_();
  }

 private:
  Buffering& buffering_;
  ChecksumPass& checksum_;
  const Settings& settings_;
  engine::UpdateWriter& writer_;
  engine::UpdateQueue& queue_;
  std::function<void()> shutdown_;
};

// The player's file: while buffering is on (state not 0), the local buffered copy of `path`.
std::string chooseFileToPlay(const Buffering& buffering, const std::string& path);

// Called when the media window reports no length for the local copy: when online, the state
// becomes 12 (" (Un-Buffered)") and the network path is returned to play instead; otherwise
// empty (nothing else to try).
std::string fallBackToNetwork(Buffering& buffering, const engine::SharedWords& words,
                              const std::string& path);

}  // namespace tunora::network
