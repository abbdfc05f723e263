#include "shell/options.h"

#include "shell/ini_store.h"
#include "shell/ini_values.h"
#include "shell/settings_files.h"

namespace lvx::shell {

void CGeneralOptions::Load() {
  bAutoStart = ReadIniBool(u"OPTIONS", u"AUTOSTART", u"TRUE");
  bRealtimeUpdate = ReadIniBool(u"OPTIONS", u"REALTIME_UPDATE", u"TRUE");
  bCheckIntegrity = ReadIniBool(u"OPTIONS", u"CHECKINTEGRITY", u"TRUE");
  bShowWarnings = ReadIniBool(u"OPTIONS", u"SHOWWARNINGS", u"TRUE");
  nCheckUpdate = ReadIniInt(u"OPTIONS", u"CHECKUPDATE", u"1", Paths().settings);
}

void CGeneralOptions::Save() const {
  WriteIniBool(u"OPTIONS", u"AUTOSTART", bAutoStart);
  WriteIniBool(u"OPTIONS", u"REALTIME_UPDATE", bRealtimeUpdate);
  WriteIniBool(u"OPTIONS", u"CHECKINTEGRITY", bCheckIntegrity);
  WriteIniBool(u"OPTIONS", u"SHOWWARNINGS", bShowWarnings);
  WriteIniString(u"OPTIONS", u"CHECKUPDATE", IniNumber(nCheckUpdate), Paths().settings);
}

void CGeneralOptions::CopyFrom(const COptionsEx& other) {
  const auto* general = dynamic_cast<const CGeneralOptions*>(&other);
  if (!general || general == this) return;
  bAutoStart = general->bAutoStart;
  bRealtimeUpdate = general->bRealtimeUpdate;
  bCheckIntegrity = general->bCheckIntegrity;
  bShowWarnings = general->bShowWarnings;
  nCheckUpdate = general->nCheckUpdate;
}

COptionsEx* CGeneralOptions::Clone() const { return new CGeneralOptions(*this); }

COptionsManager::~COptionsManager() { RemoveAll(); }

void COptionsManager::LoadAll() {
  SetOptions(OPTIONS_GENERAL, new CGeneralOptions, 0);
  for (auto& entry : groups_) entry.second->Load();
}

void COptionsManager::SaveAll() const {
  for (const auto& entry : groups_) entry.second->Save();
}

COptionsEx* COptionsManager::GetOptions(uint32_t id) const {
  auto it = groups_.find(id);
  return it == groups_.end() ? nullptr : it->second.get();
}

void COptionsManager::SetOptions(uint32_t id, COptionsEx* group, int mode) {
  if (!group) return;
  auto it = groups_.find(id);
  if (it == groups_.end()) {
    groups_[id].reset(mode == 1 ? group->Clone() : group);
    return;
  }
  if (it->second.get() == group) return;  // the stored group itself: nothing to copy or delete
  it->second->CopyFrom(*group);
  if (mode == 0) delete group;
}

void COptionsManager::RemoveAll() { groups_.clear(); }

}  // namespace lvx::shell
