#include "toolbox/pool.h"

#include <array>
#include <mutex>
#include <utility>

namespace zi {

namespace {

struct TPool {
  std::mutex mutex;
  std::array<std::unique_ptr<TPoolable>, kPoolSlots> slots;
  int roundRobin = 0;
};

TPool& Pool() {
  static TPool pool;
  return pool;
}

bool HoldsClass(const std::unique_ptr<TPoolable>& slot, std::type_index type) {
  return slot && std::type_index(typeid(*slot)) == type;
}

}  // namespace

// Each function declares what it frees before taking the lock: the objects are destroyed after the
// lock is released, because a destructor may itself give an object back.

std::unique_ptr<TPoolable> PoolTake(std::type_index type) {
  TPool& pool = Pool();
  std::lock_guard lock(pool.mutex);
  for (auto& slot : pool.slots) {
    if (HoldsClass(slot, type)) return std::move(slot);
  }
  return nullptr;
}

void PoolGive(std::unique_ptr<TPoolable> object) {
  if (!object) return;
  const std::type_index type = typeid(*object);
  std::unique_ptr<TPoolable> freed;
  TPool& pool = Pool();
  std::lock_guard lock(pool.mutex);
  for (const auto& slot : pool.slots) {
    if (HoldsClass(slot, type)) {
      freed = std::move(object);
      return;
    }
  }
  int target = kPoolSlots - 1;
  while (target >= 0 && pool.slots[target]) --target;
  if (target < 0) {
    pool.roundRobin = (pool.roundRobin + 1) % kPoolSlots;
    target = pool.roundRobin;
    freed = std::move(pool.slots[target]);
  }
  pool.slots[target] = std::move(object);
}

void PoolDrop(std::type_index type) {
  std::array<std::unique_ptr<TPoolable>, kPoolSlots> freed;
  TPool& pool = Pool();
  std::lock_guard lock(pool.mutex);
  for (int i = 0; i < kPoolSlots; ++i) {
    if (HoldsClass(pool.slots[i], type)) freed[i] = std::move(pool.slots[i]);
  }
}

void PoolFreeAll() {
  std::array<std::unique_ptr<TPoolable>, kPoolSlots> freed;
  TPool& pool = Pool();
  std::lock_guard lock(pool.mutex);
  freed = std::move(pool.slots);
  pool.roundRobin = 0;
}

}  // namespace zi
