#include "plugin/city_entry.h"

namespace skyvane::plugin {
namespace {

constexpr char16_t kState[] = u"CityState_";
constexpr char16_t kUpdateTime[] = u"CityUpdateTime_";
constexpr char16_t kUpdateDay[] = u"CityUpdateDay_";
constexpr char16_t kEnabledOnToday[] = u"CityEnabledOnToday_";
constexpr char16_t kGmt[] = u"CityGMT_";

}  // namespace

void CityEntry::SetStatus(std::u16string_view text) {
    if (!Usable()) return;
    status_ = std::u16string(text);
    owner_->WriteText(ValueName(kState), status_);
    updateStamp_ = owner_->Stamp(ValueName(kUpdateTime));
    owner_->WriteStamp(u"CityUpdateTime", updateStamp_);
}

void CityEntry::LoadStatus() {
    if (!Usable()) return;
    status_ = owner_->ReadText(ValueName(kState), u"");
    updateStamp_ = owner_->ReadStamp(ValueName(kUpdateTime), updateStamp_);
}

bool CityEntry::StatusChanged() {
    if (!Usable()) return false;
    DWORD stamp = owner_->ReadStamp(ValueName(kUpdateTime), updateStamp_);
    if (stamp == updateStamp_) return false;
    updateStamp_ = stamp;
    return true;
}

bool CityEntry::DataChanged() {
    if (!Usable()) return false;
    DWORD stamp = owner_->ReadStamp(ValueName(kUpdateDay), dataStamp_);
    if (stamp == dataStamp_) return false;
    dataStamp_ = stamp;
    return true;
}

void CityEntry::StampData() {
    if (!Usable()) return;
    dataStamp_ = owner_->Stamp(ValueName(kUpdateDay));
}

void CityEntry::RememberDataStamp() {
    if (!Usable()) return;
    dataStamp_ = owner_->ReadStamp(ValueName(kUpdateDay), dataStamp_);
}

bool CityEntry::IsEnabledOnToday() const {
    if (!Usable()) return true;
    return owner_->ReadNumber(ValueName(kEnabledOnToday), 1) != 0;
}

void CityEntry::SetEnabledOnToday(bool enabled) {
    if (!Usable()) return;
    owner_->WriteNumber(ValueName(kEnabledOnToday), enabled ? 1 : 0);
}

int CityEntry::GetGmtOffset() const {
    if (!Usable()) return gmtOffset_;
    return owner_->ReadNumber(ValueName(kGmt), gmtOffset_);
}

void CityEntry::SetGmtOffset(int hours) {
    if (!Usable()) return;
    gmtOffset_ = hours;
    owner_->WriteNumber(ValueName(kGmt), hours);
}

}  // namespace skyvane::plugin
