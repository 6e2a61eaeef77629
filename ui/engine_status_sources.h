// StatusSources over the program's engine parts: the list builder, buffering, the checksum pass,
// the update writer, the state switch, the supervisor and the song table's live count.
#pragma once

#include "engine/list_builder.h"
#include "engine/state_switch.h"
#include "engine/supervisor.h"
#include "engine/update_writer.h"
#include "marlbase/table_handle.h"
#include "network/buffering.h"
#include "network/checksum_pass.h"
#include "ui/status_text.h"

namespace tunora::ui {

struct EngineStatusParts {
  engine::ListBuilder& builder;
  network::Buffering& buffering;
  network::ChecksumPass& checksum;
  engine::UpdateWriter& writer;
  engine::StateSwitcher& state_switch;
  engine::Supervisor& supervisor;
  marlbase::TableHandle& song_table;
  int32_t fixed_user;  // 0..9, or 999
};

class EngineStatusSources final : public StatusSources {
 public:
  explicit EngineStatusSources(EngineStatusParts parts) : p_(parts) {}
  bool building() override { return p_.builder.busy() == 1; }
  // The builder's stage word ("Work Pos").
  int32_t builderPasses() override { return p_.builder.stage(); }
  int32_t bufferState() override { return p_.buffering.state(); }
  void setBufferState(int32_t state) override { p_.buffering.setState(state); }
  int32_t liveRecords() override { return p_.song_table.liveCount(); }
  bool hashing() override { return p_.checksum.running(); }
  bool clearingCache() override { return p_.writer.running(); }
  int32_t writerStage() override { return p_.writer.running() ? 1 : 0; }
  int32_t switchMarker() override { return p_.state_switch.marker(); }
  int32_t spinner() override { return p_.supervisor.spinner(); }
  int32_t fixedUser() override { return p_.fixed_user; }

 private:
  EngineStatusParts p_;
};

}  // namespace tunora::ui
