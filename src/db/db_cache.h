#pragma once
// A fixed-size cache of objects keyed by a positive id, replacing its slots in turn.

#include <memory>
#include <vector>

namespace zi::db {

template <typename T>
class tDbCache {
 public:
  explicit tDbCache(int size) : keys_(static_cast<size_t>(size), 0), objects_(static_cast<size_t>(size)) {}
  virtual ~tDbCache() = default;
  tDbCache(const tDbCache&) = delete;
  tDbCache& operator=(const tDbCache&) = delete;

  // The cached object for the id, loading it into a free slot or the next one in turn. A load that
  // fails (no object) is neither stored nor allowed to evict anything: it is asked again next time.
  T* PegaItem(int id) {
    if (id <= 0) return nullptr;
    for (size_t i = 0; i < keys_.size(); ++i)
      if (keys_[i] == id) return objects_[i].get();
    std::unique_ptr<T> loaded = Load(id);
    if (!loaded) return nullptr;
    size_t slot = keys_.size();
    for (size_t i = 0; i < keys_.size() && slot == keys_.size(); ++i)
      if (keys_[i] == 0) slot = i;
    if (slot == keys_.size()) {
      lastReplaced_ = (lastReplaced_ + 1) % static_cast<int>(keys_.size());
      slot = static_cast<size_t>(lastReplaced_);
    }
    objects_[slot] = std::move(loaded);
    keys_[slot] = id;
    return objects_[slot].get();
  }

  void EsqueceItem(int id) {
    if (id <= 0) return;
    for (size_t i = 0; i < keys_.size(); ++i) {
      if (keys_[i] == id) {
        keys_[i] = 0;
        objects_[i].reset();
      }
    }
  }

 protected:
  virtual std::unique_ptr<T> Load(int id) = 0;

 private:
  std::vector<int> keys_;
  std::vector<std::unique_ptr<T>> objects_;
  int lastReplaced_ = -1;
};

}  // namespace zi::db
