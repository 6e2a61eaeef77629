// Fuzz target: arbitrary bytes as the contents of "dTunora.dat" and "dTnFill.dat". Decoding,
// the upgrade and reading every named field must stay inside the record whatever the bytes.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>

#include "settings/filler_settings_file.h"
#include "settings/settings.h"
#include "settings/settings_fields.h"
#include "settings/settings_file.h"
#include "settings/settings_upgrade.h"

namespace {

void check(bool ok) {
  if (!ok) std::abort();
}

size_t touchEveryField(const tunora::Settings& s) {
  using namespace tunora::settings;
  size_t total = 0;
  for (const FieldInfo& f : kSettingsFields) {
    switch (f.kind) {
      case FieldKind::kInt:
        total += static_cast<uint32_t>(s.get(IntField{f.offset}));
        break;
      case FieldKind::kIntArray:
        for (uint32_t i = 0; i <= f.count; ++i) total += s.get(IntArrayField{f.offset, f.count}, i);
        break;
      case FieldKind::kText:
        total += s.text(TextField{f.offset, f.size}).size();
        break;
      case FieldKind::kTextArray:
        for (uint32_t i = 0; i <= f.count; ++i) {
          const size_t n = s.text(TextArrayField{f.offset, f.count, f.size}, i).size();
          check(n <= f.size);
          total += n;
        }
        break;
    }
  }
  return total;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tunora;
  const std::span<const uint8_t> bytes(data, size);
  Settings s;
  const int version = decodeSettingsFile(bytes, s);
  check(version == kVersionCurrent || version == kVersionUnrecognised ||
        (version >= -99 && version <= 999));
  if (size >= kSettingsFileSize) {
    check(std::memcmp(s.image().data(), data + kSettingsHeaderSize, settings::kRecordSize) == 0);
  }
  (void)touchEveryField(s);

  const UpgradeResult upgrade = upgradeSettings(s, version);
  check(!(upgrade.not_upgradable && (upgrade.show_welcome || upgrade.copy_old_playlist)));
  if (!upgrade.not_upgradable && version != kVersionCurrent && version != 400) {
    check(s.get(settings::kCurrentState) == 0);
  }
  (void)s.stateValue(settings::kStateUser);
  (void)touchEveryField(s);

  decodeFillerFile(bytes, s);
  (void)touchEveryField(s);
  return 0;
}
