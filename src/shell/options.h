// The general options held in memory, and the manager that owns the option groups by id. Every part
// of the program reads the general options through the main window's pointer to its group.
#pragma once

#include <cstdint>
#include <map>
#include <memory>

namespace lvx::shell {

// An options group: read from and written to settings.ini as a whole.
class COptionsEx {
 public:
  virtual ~COptionsEx() = default;
  virtual void Load() = 0;
  virtual void Save() const = 0;
  // Takes the values of a group of the same class; a group of another class is ignored.
  virtual void CopyFrom(const COptionsEx& other) = 0;
  virtual COptionsEx* Clone() const = 0;
};

// OPTIONS/AUTOSTART, REALTIME_UPDATE, CHECKINTEGRITY, SHOWWARNINGS ("TRUE"/"FALSE") and CHECKUPDATE.
class CGeneralOptions : public COptionsEx {
 public:
  bool bAutoStart = true;
  bool bRealtimeUpdate = true;
  bool bCheckIntegrity = true;
  bool bShowWarnings = true;
  int32_t nCheckUpdate = 1;  // 0 daily, 1 weekly, 2 monthly, 3 never

  void Load() override;
  void Save() const override;
  void CopyFrom(const COptionsEx& other) override;
  COptionsEx* Clone() const override;
};

constexpr uint32_t OPTIONS_GENERAL = 0;

class COptionsManager {
 public:
  COptionsManager() = default;
  virtual ~COptionsManager();
  COptionsManager(const COptionsManager&) = delete;
  COptionsManager& operator=(const COptionsManager&) = delete;

  // Creates the general group and loads every group, in id order.
  virtual void LoadAll();
  virtual void SaveAll() const;
  // The group of an id, or null.
  virtual COptionsEx* GetOptions(uint32_t id) const;
  // A null group does nothing. A new id takes the group itself (mode 0) or a clone of it (mode 1);
  // an existing group takes the values with CopyFrom, and with mode 0 the passed group is deleted.
  virtual void SetOptions(uint32_t id, COptionsEx* group, int mode);
  virtual void RemoveAll();

 private:
  std::map<uint32_t, std::unique_ptr<COptionsEx>> groups_;
};

}  // namespace lvx::shell
