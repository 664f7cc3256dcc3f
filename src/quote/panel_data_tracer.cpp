#include "quote/panel_data_tracer.h"

#include "data/quote_data_center.h"
#include "tools/tick_statistic.h"

CPanelDataTracer::~CPanelDataTracer() { Detach(); }

void CPanelDataTracer::SetOwner(IPanelTracerNotify* owner) {
  tarn::Lock lock(mutex_);
  owner_ = owner;
}

void CPanelDataTracer::Follow(const DC_Contract& contract, int multiple) {
  // The contract is subscribed so that the library keeps it trading live and tells of its ticks.
  UnsubscribeAll();
  if (!contract.Empty()) Subscribe(contract);
  {
    tarn::Lock lock(mutex_);
    contract_ = contract;
    multiple_ = multiple;
    average_ = 0;
    bigOrderSize_ = 0;
    walker_.Clear();
  }
  Update();
}

void CPanelDataTracer::SetMultiple(int multiple) {
  {
    tarn::Lock lock(mutex_);
    if (multiple == multiple_) return;
    multiple_ = multiple;
    walker_.Clear();  // every tick is measured against the new size
  }
  Update();
}

void CPanelDataTracer::Stop() {
  UnsubscribeAll();
  tarn::Lock lock(mutex_);
  contract_ = DC_Contract{};
  walker_.Clear();
}

void CPanelDataTracer::Update() {
  tarn::Lock lock(mutex_);
  if (contract_.Empty()) return;
  IQuoteDataCenter* center = GetQuoteDataCenter();
  if (!center) return;
  Register();
  delivered_.clear();
  center->GetTicks(Handle(), delivered_, &contract_);
  tarn::KeepDayTicks(delivered_);
  const std::vector<TickRecord>& day = delivered_;
  int64_t lots = 0;
  for (const TickRecord& t : day) lots += t.quantity;
  average_ = tarn::GetAvgTradeVolumeStore().Average(tarn::CommodityKeyOf(contract_), day.size(), lots);
  const int64_t size = static_cast<int64_t>(average_) * multiple_;
  // The size moves with the day's average: ticks already counted keep the size they were
  // counted with, as a running tally does.
  bigOrderSize_ = size;
  walker_.Feed(day, size);
  if (owner_) owner_->OnPanelTallies();
}

tarn::TickTallies CPanelDataTracer::Tallies() const {
  tarn::Lock lock(mutex_);
  return walker_.Tallies();
}

int64_t CPanelDataTracer::BigOrderSize() const {
  tarn::Lock lock(mutex_);
  return bigOrderSize_;
}

int32_t CPanelDataTracer::AverageTradeSize() const {
  tarn::Lock lock(mutex_);
  return average_;
}

std::size_t CPanelDataTracer::TicksHandled() const {
  tarn::Lock lock(mutex_);
  return walker_.Handled();
}

DC_Contract CPanelDataTracer::Contract() const {
  tarn::Lock lock(mutex_);
  return contract_;
}

void CPanelDataTracer::OnTickData(const DC_Contract* record) {
  if (!record) return;
  {
    tarn::Lock lock(mutex_);
    if (contract_.Empty() || !record->SameKey(contract_)) return;
  }
  Update();
}
