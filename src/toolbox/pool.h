#pragma once
// A process-wide pool of objects that are costly to build (pickers, caches), kept between uses:
// eight slots, at most one object per class, the class being the object's dynamic type.

#include <memory>
#include <type_traits>
#include <typeindex>
#include <typeinfo>

namespace zi {

class TPoolable {
 public:
  virtual ~TPoolable() = default;
};

inline constexpr int kPoolSlots = 8;

// Removes the pooled object of that class and hands it over; null when there is none.
std::unique_ptr<TPoolable> PoolTake(std::type_index type);

// An object whose class is already pooled is freed. Otherwise it goes to the highest-numbered free
// slot; with none free, a round-robin index advances (7 wraps to 0), the slot it names is freed and
// the object takes its place.
void PoolGive(std::unique_ptr<TPoolable> object);

// Frees every pooled object of that class.
void PoolDrop(std::type_index type);

// Frees every pooled object and rewinds the round-robin index; the pool is as at process start.
void PoolFreeAll();

template <typename T>
std::unique_ptr<T> PoolTake() {
  static_assert(std::is_base_of_v<TPoolable, T>);
  // The object's dynamic type is exactly T, so the downcast is exact.
  return std::unique_ptr<T>(static_cast<T*>(PoolTake(typeid(T)).release()));
}

template <typename T>
void PoolDrop() {
  static_assert(std::is_base_of_v<TPoolable, T>);
  PoolDrop(typeid(T));
}

}  // namespace zi
